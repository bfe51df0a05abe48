// PPMd variant H with its range decoder, as the RAR 2.9/3.x method uses it
// for its PPM blocks: the context model lives in one heap of up to 256 MiB
// (the size a block header asks for), addressed by 32-bit offsets so that
// running out of memory, and thus the restarts of the model, happen exactly
// where the packer had them.
//
// Owned by one decoder; any thread, one at a time. Every offset taken from
// the model is checked against the heap: a damaged stream makes DecodeChar
// return -1, never an access outside the heap.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "update/rar/rar_bit_input.h"

namespace rar {

class RarPpmModel {
 public:
  RarPpmModel();
  RarPpmModel(const RarPpmModel&) = delete;
  RarPpmModel& operator=(const RarPpmModel&) = delete;

  // The largest model a block header may ask for, in MiB. The header's byte
  // allows up to 256; a larger ask than this is refused before anything is
  // allocated, so that a few bytes of a hostile archive cannot take that
  // much memory.
  static constexpr uint32_t kMaxModelMegabytes = 128;

  // Reads a PPM block header at the byte-aligned position of `input` and
  // starts the range decoder there; restarts the model when the header says
  // so. `escChar` is updated when the header carries a new one. False for a
  // header that cannot start (no model yet, order 1, a model larger than
  // kMaxModelMegabytes (then ModelTooLarge() is true), no memory).
  bool DecodeInit(RarBitInput& input, int& escChar);
  bool ModelTooLarge() const { return m_modelTooLarge; }
  // Next byte, or -1 for damaged data.
  int DecodeChar(RarBitInput& input);
  // Drops the model (start of a non-solid entry).
  void Reset();

 private:
  struct See2 {
    uint16_t summ;
    uint8_t shift;
    uint8_t count;
    void Init(unsigned value);
    unsigned Mean();
    void Update();
  };
  struct State {
    uint8_t symbol;
    uint8_t freq;
    uint32_t successor;
  };

  // Heap access, bounds-checked (a bad offset sets m_corrupt).
  bool Valid(uint32_t offset, uint32_t bytes) const {
    return offset >= kHeapBase && static_cast<uint64_t>(offset) + bytes <= m_heapBytes;
  }
  uint8_t Get8(uint32_t offset);
  uint16_t Get16(uint32_t offset);
  uint32_t Get32(uint32_t offset);
  void Set8(uint32_t offset, uint8_t value);
  void Set16(uint32_t offset, uint16_t value);
  void Set32(uint32_t offset, uint32_t value);

  // Context fields (12 bytes): NumStats, SummFreq, Stats, Suffix; a context
  // with one state keeps it in place at offset 2.
  uint32_t NumStats(uint32_t c) { return Get16(c); }
  void SetNumStats(uint32_t c, uint32_t v) { Set16(c, static_cast<uint16_t>(v)); }
  uint32_t SummFreq(uint32_t c) { return Get16(c + 2); }
  void SetSummFreq(uint32_t c, uint32_t v) { Set16(c + 2, static_cast<uint16_t>(v)); }
  uint32_t Stats(uint32_t c) { return Get32(c + 4); }
  void SetStats(uint32_t c, uint32_t v) { Set32(c + 4, v); }
  uint32_t Suffix(uint32_t c) { return Get32(c + 8); }
  void SetSuffix(uint32_t c, uint32_t v) { Set32(c + 8, v); }
  static uint32_t OneState(uint32_t c) { return c + 2; }
  // State fields (6 bytes): Symbol, Freq, Successor.
  uint32_t Symbol(uint32_t s) { return Get8(s); }
  uint32_t Freq(uint32_t s) { return Get8(s + 1); }
  void SetFreq(uint32_t s, uint32_t v) { Set8(s + 1, static_cast<uint8_t>(v)); }
  uint32_t Successor(uint32_t s) { return Get32(s + 2); }
  void SetSuccessor(uint32_t s, uint32_t v) { Set32(s + 2, v); }
  State LoadState(uint32_t s);
  void StoreState(uint32_t s, const State& state);
  void SwapStates(uint32_t a, uint32_t b);

  // Sub-allocator.
  bool StartSubAllocator(uint32_t megabytes);
  void InitSubAllocator();
  void InsertNode(uint32_t p, unsigned index);
  uint32_t RemoveNode(unsigned index);
  void SplitBlock(uint32_t p, unsigned oldIndex, unsigned newIndex);
  void GlueFreeBlocks();
  uint32_t AllocUnitsRare(unsigned index);
  uint32_t AllocUnits(unsigned units);
  uint32_t AllocContext();
  uint32_t ExpandUnits(uint32_t oldPtr, unsigned oldUnits);
  uint32_t ShrinkUnits(uint32_t oldPtr, unsigned oldUnits, unsigned newUnits);
  void FreeUnits(uint32_t p, unsigned units);
  void CopyBytes(uint32_t dest, uint32_t src, uint32_t bytes);

  // Model.
  void StartModelRare(unsigned maxOrder);
  void RestartModelRare();
  void ClearMask();
  uint32_t CreateSuccessors(bool skip, uint32_t p1);
  void UpdateModel();
  void Rescale(uint32_t context);
  bool DecodeSymbol1(uint32_t context);
  void DecodeBinSymbol(uint32_t context);
  bool DecodeSymbol2(uint32_t context);
  void Update1(uint32_t context, uint32_t p);
  void Update2(uint32_t context, uint32_t p);
  See2* MakeEscFreq2(uint32_t context, unsigned diff);
  bool ContextOk(uint32_t c) const { return c > m_text && c <= m_heapEnd && Valid(c, 12); }

  // Range decoder.
  void InitDecoder(RarBitInput& input);
  uint32_t GetCurrentCount();
  uint32_t GetCurrentShiftCount(unsigned shift);
  void Decode();
  void Normalize(RarBitInput& input);
  static uint32_t GetChar(RarBitInput& input);

  static constexpr uint32_t kHeapBase = 16;
  static constexpr uint32_t kUnitSize = 12;
  static constexpr unsigned kIndexes = 38;

  std::unique_ptr<uint8_t[]> m_heap;
  uint64_t m_heapBytes = 0;
  uint32_t m_subAllocatorSize = 0;
  bool m_modelTooLarge = false;
  uint32_t m_heapStart = 0, m_heapEnd = 0, m_text = 0, m_unitsStart = 0, m_loUnit = 0, m_hiUnit = 0;
  uint32_t m_glueCount = 0;
  uint32_t m_freeList[kIndexes] = {};
  uint8_t m_indexToUnits[kIndexes] = {};
  uint8_t m_unitsToIndex[128] = {};

  uint32_t m_minContext = 0, m_maxContext = 0, m_foundState = 0;
  uint32_t m_numMasked = 0, m_initEsc = 0, m_orderFall = 0, m_maxOrder = 0, m_prevSuccess = 0;
  uint32_t m_hiBitsFlag = 0;
  int32_t m_runLength = 0, m_initRL = 0;
  uint8_t m_escCount = 0;
  uint8_t m_charMask[256] = {};
  uint8_t m_ns2Index[256] = {};
  uint8_t m_ns2BsIndex[256] = {};
  uint8_t m_hb2Flag[256] = {};
  See2 m_see2[25][16] = {};
  See2 m_dummySee2 = {};
  uint16_t m_binSumm[128][64] = {};
  bool m_corrupt = false;
  bool m_started = false;

  uint32_t m_low = 0, m_code = 0, m_range = 0;
  uint32_t m_lowCount = 0, m_highCount = 0, m_scale = 0;
};

}  // namespace rar
