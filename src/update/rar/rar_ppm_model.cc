#include "update/rar/rar_ppm_model.h"

#include <cstring>
#include <new>

namespace rar {
namespace {

constexpr unsigned kMaxOrder = 64;
constexpr unsigned kIntBits = 7;
constexpr unsigned kPeriodBits = 7;
constexpr unsigned kTotBits = kIntBits + kPeriodBits;
constexpr unsigned kInterval = 1u << kIntBits;
constexpr unsigned kBinScale = 1u << kTotBits;
constexpr unsigned kMaxFreq = 124;
constexpr uint32_t kTop = 1u << 24;
constexpr uint32_t kBot = 1u << 15;

constexpr uint8_t kExpEscape[16] = {25, 14, 9, 7, 5, 5, 4, 4, 4, 3, 3, 3, 2, 2, 2, 2};
constexpr uint16_t kInitBinEsc[8] = {0x3CDD, 0x1F3F, 0x59BF, 0x48F3, 0x64A1, 0x5ABC, 0x6632, 0x6051};

unsigned GetMean(unsigned summ) { return (summ + (1u << (kPeriodBits - 2))) >> kPeriodBits; }

}  // namespace

void RarPpmModel::See2::Init(unsigned value) {
  shift = kPeriodBits - 4;
  summ = static_cast<uint16_t>(value << shift);
  count = 4;
}

unsigned RarPpmModel::See2::Mean() {
  const unsigned value = static_cast<uint16_t>(summ) >> shift;
  summ = static_cast<uint16_t>(summ - value);
  return value + (value == 0);
}

void RarPpmModel::See2::Update() {
  if (shift < kPeriodBits && --count == 0) {
    summ = static_cast<uint16_t>(summ + summ);
    count = static_cast<uint8_t>(3u << shift++);
  }
}

RarPpmModel::RarPpmModel() {
  unsigned i = 0, k = 1;
  for (; i < 4; ++i, k += 1) m_indexToUnits[i] = static_cast<uint8_t>(k);
  for (++k; i < 8; ++i, k += 2) m_indexToUnits[i] = static_cast<uint8_t>(k);
  for (++k; i < 12; ++i, k += 3) m_indexToUnits[i] = static_cast<uint8_t>(k);
  for (++k; i < kIndexes; ++i, k += 4) m_indexToUnits[i] = static_cast<uint8_t>(k);
  for (k = 0, i = 0; k < 128; ++k) {
    i += (m_indexToUnits[i] < k + 1);
    m_unitsToIndex[k] = static_cast<uint8_t>(i);
  }
}

void RarPpmModel::Reset() {
  m_started = false;
  m_corrupt = false;
}

// ---- heap access ----

uint8_t RarPpmModel::Get8(uint32_t offset) {
  if (!Valid(offset, 1)) return m_corrupt = true, 0;
  return m_heap[offset];
}
uint16_t RarPpmModel::Get16(uint32_t offset) {
  if (!Valid(offset, 2)) return m_corrupt = true, 0;
  return static_cast<uint16_t>(m_heap[offset] | (m_heap[offset + 1] << 8));
}
uint32_t RarPpmModel::Get32(uint32_t offset) {
  if (!Valid(offset, 4)) return m_corrupt = true, 0;
  uint32_t value;
  std::memcpy(&value, &m_heap[offset], 4);
  return value;
}
void RarPpmModel::Set8(uint32_t offset, uint8_t value) {
  if (!Valid(offset, 1)) return void(m_corrupt = true);
  m_heap[offset] = value;
}
void RarPpmModel::Set16(uint32_t offset, uint16_t value) {
  if (!Valid(offset, 2)) return void(m_corrupt = true);
  m_heap[offset] = static_cast<uint8_t>(value);
  m_heap[offset + 1] = static_cast<uint8_t>(value >> 8);
}
void RarPpmModel::Set32(uint32_t offset, uint32_t value) {
  if (!Valid(offset, 4)) return void(m_corrupt = true);
  std::memcpy(&m_heap[offset], &value, 4);
}

RarPpmModel::State RarPpmModel::LoadState(uint32_t s) {
  return State{static_cast<uint8_t>(Symbol(s)), static_cast<uint8_t>(Freq(s)), Successor(s)};
}
void RarPpmModel::StoreState(uint32_t s, const State& state) {
  Set8(s, state.symbol);
  Set8(s + 1, state.freq);
  Set32(s + 2, state.successor);
}
void RarPpmModel::SwapStates(uint32_t a, uint32_t b) {
  const State sa = LoadState(a);
  const State sb = LoadState(b);
  StoreState(a, sb);
  StoreState(b, sa);
}
void RarPpmModel::CopyBytes(uint32_t dest, uint32_t src, uint32_t bytes) {
  if (!Valid(dest, bytes) || !Valid(src, bytes)) return void(m_corrupt = true);
  std::memmove(&m_heap[dest], &m_heap[src], bytes);
}

// ---- sub-allocator ----
// Free blocks are chained through their first four bytes; while blocks are
// glued they carry a stamp (0xFFFF), their size in units and two links.

bool RarPpmModel::StartSubAllocator(uint32_t megabytes) {
  const uint32_t size = megabytes << 20;
  if (m_subAllocatorSize == size && m_heap) return true;
  m_heap.reset();
  m_subAllocatorSize = 0;
  // Base, the units, a zero guard unit after them and the glue list head.
  const uint64_t bytes = kHeapBase + static_cast<uint64_t>(size) + 3 * kUnitSize;
  m_heap.reset(new (std::nothrow) uint8_t[bytes]);
  if (!m_heap) return false;
  m_heapBytes = bytes;
  m_subAllocatorSize = size;
  m_heapStart = kHeapBase;
  m_heapEnd = kHeapBase + size + kUnitSize;
  std::memset(&m_heap[kHeapBase + size], 0, 3 * kUnitSize);
  return true;
}

void RarPpmModel::InitSubAllocator() {
  std::memset(m_freeList, 0, sizeof(m_freeList));
  m_text = m_heapStart;
  const uint32_t size2 = kUnitSize * (m_subAllocatorSize / 8 / kUnitSize * 7);
  const uint32_t size1 = m_subAllocatorSize - size2;
  m_loUnit = m_unitsStart = m_heapStart + size1;
  m_hiUnit = m_loUnit + size2;
  m_glueCount = 0;
}

void RarPpmModel::InsertNode(uint32_t p, unsigned index) {
  Set32(p, m_freeList[index]);
  m_freeList[index] = p;
}

uint32_t RarPpmModel::RemoveNode(unsigned index) {
  const uint32_t p = m_freeList[index];
  m_freeList[index] = Get32(p);
  return p;
}

void RarPpmModel::SplitBlock(uint32_t p, unsigned oldIndex, unsigned newIndex) {
  unsigned diff = m_indexToUnits[oldIndex] - m_indexToUnits[newIndex];
  p += m_indexToUnits[newIndex] * kUnitSize;
  unsigned i = m_unitsToIndex[diff - 1];
  if (m_indexToUnits[i] != diff) {
    InsertNode(p, --i);
    p += m_indexToUnits[i] * kUnitSize;
    diff -= m_indexToUnits[i];
  }
  InsertNode(p, m_unitsToIndex[diff - 1]);
}

void RarPpmModel::GlueFreeBlocks() {
  // Block fields while glued.
  const auto stamp = [&](uint32_t b) { return Get16(b); };
  const auto nu = [&](uint32_t b) { return static_cast<uint32_t>(Get16(b + 2)); };
  const auto next = [&](uint32_t b) { return Get32(b + 4); };
  const auto prev = [&](uint32_t b) { return Get32(b + 8); };
  const auto setNext = [&](uint32_t b, uint32_t v) { Set32(b + 4, v); };
  const auto setPrev = [&](uint32_t b, uint32_t v) { Set32(b + 8, v); };
  const auto remove = [&](uint32_t b) {
    setNext(prev(b), next(b));
    setPrev(next(b), prev(b));
  };
  const uint32_t head = kHeapBase + m_subAllocatorSize + 2 * kUnitSize;
  setNext(head, head);
  setPrev(head, head);
  Set16(head, 0);

  if (m_loUnit != m_hiUnit) Set8(m_loUnit, 0);
  for (unsigned i = 0; i < kIndexes; ++i) {
    while (m_freeList[i] != 0 && !m_corrupt) {
      const uint32_t p = RemoveNode(i);
      // Insert right after the head.
      const uint32_t first = next(head);
      setPrev(p, head);
      setNext(p, first);
      setPrev(first, p);
      setNext(head, p);
      Set16(p, 0xFFFF);
      Set16(p + 2, m_indexToUnits[i]);
    }
  }
  for (uint32_t p = next(head); p != head && !m_corrupt; p = next(p)) {
    for (;;) {
      const uint32_t p1 = p + nu(p) * kUnitSize;
      if (m_corrupt || stamp(p1) != 0xFFFF || nu(p) + nu(p1) >= 0x10000) break;
      remove(p1);
      Set16(p + 2, static_cast<uint16_t>(nu(p) + nu(p1)));
    }
  }
  uint32_t p;
  while ((p = next(head)) != head && !m_corrupt) {
    remove(p);
    unsigned size = nu(p);
    for (; size > 128; size -= 128, p += 128 * kUnitSize) InsertNode(p, kIndexes - 1);
    unsigned i = m_unitsToIndex[size - 1];
    if (m_indexToUnits[i] != size) {
      const unsigned k = size - m_indexToUnits[--i];
      InsertNode(p + (size - k) * kUnitSize, k - 1);
    }
    InsertNode(p, i);
  }
}

uint32_t RarPpmModel::AllocUnitsRare(unsigned index) {
  if (m_glueCount == 0) {
    m_glueCount = 255;
    GlueFreeBlocks();
    if (m_freeList[index] != 0) return RemoveNode(index);
  }
  unsigned i = index;
  do {
    if (++i == kIndexes) {
      --m_glueCount;
      const uint32_t bytes = m_indexToUnits[index] * kUnitSize;
      if (m_unitsStart - m_text > bytes) {
        m_unitsStart -= bytes;
        return m_unitsStart;
      }
      return 0;
    }
  } while (m_freeList[i] == 0);
  const uint32_t block = RemoveNode(i);
  SplitBlock(block, i, index);
  return block;
}

uint32_t RarPpmModel::AllocUnits(unsigned units) {
  const unsigned index = m_unitsToIndex[units - 1];
  if (m_freeList[index] != 0) return RemoveNode(index);
  const uint32_t bytes = m_indexToUnits[index] * kUnitSize;
  if (m_hiUnit - m_loUnit >= bytes) {
    const uint32_t block = m_loUnit;
    m_loUnit += bytes;
    return block;
  }
  return AllocUnitsRare(index);
}

uint32_t RarPpmModel::AllocContext() {
  if (m_hiUnit != m_loUnit) return m_hiUnit -= kUnitSize;
  if (m_freeList[0] != 0) return RemoveNode(0);
  return AllocUnitsRare(0);
}

uint32_t RarPpmModel::ExpandUnits(uint32_t oldPtr, unsigned oldUnits) {
  const unsigned i0 = m_unitsToIndex[oldUnits - 1];
  const unsigned i1 = m_unitsToIndex[oldUnits];
  if (i0 == i1) return oldPtr;
  const uint32_t block = AllocUnits(oldUnits + 1);
  if (block != 0) {
    CopyBytes(block, oldPtr, oldUnits * kUnitSize);
    InsertNode(oldPtr, i0);
  }
  return block;
}

uint32_t RarPpmModel::ShrinkUnits(uint32_t oldPtr, unsigned oldUnits, unsigned newUnits) {
  const unsigned i0 = m_unitsToIndex[oldUnits - 1];
  const unsigned i1 = m_unitsToIndex[newUnits - 1];
  if (i0 == i1) return oldPtr;
  if (m_freeList[i1] != 0) {
    const uint32_t block = RemoveNode(i1);
    CopyBytes(block, oldPtr, newUnits * kUnitSize);
    InsertNode(oldPtr, i0);
    return block;
  }
  SplitBlock(oldPtr, i0, i1);
  return oldPtr;
}

void RarPpmModel::FreeUnits(uint32_t p, unsigned units) { InsertNode(p, m_unitsToIndex[units - 1]); }

// ---- model ----

void RarPpmModel::ClearMask() {
  m_escCount = 1;
  std::memset(m_charMask, 0, sizeof(m_charMask));
}

void RarPpmModel::RestartModelRare() {
  std::memset(m_charMask, 0, sizeof(m_charMask));
  InitSubAllocator();
  m_initRL = -static_cast<int32_t>(m_maxOrder < 12 ? m_maxOrder : 12) - 1;
  m_minContext = m_maxContext = AllocContext();
  SetSuffix(m_minContext, 0);
  m_orderFall = m_maxOrder;
  SetNumStats(m_minContext, 256);
  SetSummFreq(m_minContext, 257);
  m_foundState = AllocUnits(256 / 2);
  SetStats(m_minContext, m_foundState);
  m_runLength = m_initRL;
  m_prevSuccess = 0;
  for (unsigned i = 0; i < 256; ++i) {
    const uint32_t s = m_foundState + i * 6;
    StoreState(s, State{static_cast<uint8_t>(i), 1, 0});
  }
  for (unsigned i = 0; i < 128; ++i) {
    for (unsigned k = 0; k < 8; ++k) {
      for (unsigned m = 0; m < 64; m += 8) {
        m_binSumm[i][k + m] = static_cast<uint16_t>(kBinScale - kInitBinEsc[k] / (i + 2));
      }
    }
  }
  for (unsigned i = 0; i < 25; ++i) {
    for (unsigned k = 0; k < 16; ++k) m_see2[i][k].Init(5 * i + 10);
  }
}

void RarPpmModel::StartModelRare(unsigned maxOrder) {
  m_escCount = 1;
  m_maxOrder = maxOrder;
  RestartModelRare();
  m_ns2BsIndex[0] = 2 * 0;
  m_ns2BsIndex[1] = 2 * 1;
  std::memset(m_ns2BsIndex + 2, 2 * 2, 9);
  std::memset(m_ns2BsIndex + 11, 2 * 3, 256 - 11);
  unsigned i = 0;
  for (; i < 3; ++i) m_ns2Index[i] = static_cast<uint8_t>(i);
  for (unsigned m = i, k = 1, step = 1; i < 256; ++i) {
    m_ns2Index[i] = static_cast<uint8_t>(m);
    if (--k == 0) {
      k = ++step;
      ++m;
    }
  }
  std::memset(m_hb2Flag, 0, 0x40);
  std::memset(m_hb2Flag + 0x40, 0x08, 0x100 - 0x40);
  m_dummySee2.shift = kPeriodBits;
  m_dummySee2.summ = 0;
  m_dummySee2.count = 64;
}

uint32_t RarPpmModel::CreateSuccessors(bool skip, uint32_t p1) {
  uint32_t pc = m_minContext;
  const uint32_t upBranch = Successor(m_foundState);
  uint32_t ps[kMaxOrder + 1];
  unsigned numPs = 0;
  uint32_t p = 0;
  const uint32_t foundSymbol = Symbol(m_foundState);
  if (!skip) {
    ps[numPs++] = m_foundState;
    if (Suffix(pc) == 0) goto noLoop;
  }
  if (p1 != 0) {
    p = p1;
    pc = Suffix(pc);
    goto loopEntry;
  }
  do {
    pc = Suffix(pc);
    if (pc == 0 || m_corrupt) return 0;
    if (NumStats(pc) != 1) {
      p = Stats(pc);
      const uint32_t end = p + NumStats(pc) * 6;
      while (Symbol(p) != foundSymbol) {
        p += 6;
        if (p >= end || m_corrupt) return 0;
      }
    } else {
      p = OneState(pc);
    }
  loopEntry:
    if (Successor(p) != upBranch) {
      pc = Successor(p);
      break;
    }
    if (numPs > kMaxOrder) return 0;
    ps[numPs++] = p;
  } while (Suffix(pc) != 0);
noLoop:
  if (numPs == 0) return pc;
  State up{};
  up.symbol = Get8(upBranch);
  up.successor = upBranch + 1;
  if (NumStats(pc) != 1) {
    if (pc <= m_text) return 0;
    p = Stats(pc);
    const uint32_t end = p + NumStats(pc) * 6;
    while (Symbol(p) != up.symbol) {
      p += 6;
      if (p >= end || m_corrupt) return 0;
    }
    const uint32_t cf = Freq(p) - 1;
    uint32_t s0 = SummFreq(pc) - NumStats(pc) - cf;
    if (s0 == 0) s0 = 1;  // damaged model; avoids a division by zero
    up.freq = static_cast<uint8_t>(1 + ((2 * cf <= s0) ? (5 * cf > s0) : ((2 * cf + 3 * s0 - 1) / (2 * s0))));
  } else {
    up.freq = static_cast<uint8_t>(Freq(OneState(pc)));
  }
  do {
    const uint32_t child = AllocContext();
    if (child == 0) return 0;
    SetNumStats(child, 1);
    StoreState(OneState(child), up);
    SetSuffix(child, pc);
    SetSuccessor(ps[--numPs], child);
    pc = child;
  } while (numPs != 0 && !m_corrupt);
  return m_corrupt ? 0 : pc;
}

void RarPpmModel::UpdateModel() {
  const State fs = LoadState(m_foundState);
  uint32_t p = 0;
  uint32_t pc;
  uint32_t successor;
  uint32_t fsSuccessor = fs.successor;
  uint32_t ns1, ns, cf, sf, s0;
  if (fs.freq < kMaxFreq / 4 && (pc = Suffix(m_minContext)) != 0) {
    if (NumStats(pc) != 1) {
      p = Stats(pc);
      if (Symbol(p) != fs.symbol) {
        const uint32_t end = p + NumStats(pc) * 6;
        do {
          p += 6;
          if (p >= end || m_corrupt) goto restart;
        } while (Symbol(p) != fs.symbol);
        if (Freq(p) >= Freq(p - 6)) {
          SwapStates(p, p - 6);
          p -= 6;
        }
      }
      if (Freq(p) < kMaxFreq - 9) {
        SetFreq(p, Freq(p) + 2);
        SetSummFreq(pc, SummFreq(pc) + 2);
      }
    } else {
      p = OneState(pc);
      SetFreq(p, Freq(p) + (Freq(p) < 32));
    }
  }
  if (m_orderFall == 0) {
    m_minContext = m_maxContext = CreateSuccessors(true, p);
    SetSuccessor(m_foundState, m_minContext);
    if (m_minContext == 0) goto restart;
    return;
  }
  Set8(m_text++, fs.symbol);
  successor = m_text;
  if (m_text >= m_unitsStart) goto restart;
  if (fsSuccessor != 0) {
    if (fsSuccessor <= m_text) {
      fsSuccessor = CreateSuccessors(false, p);
      if (fsSuccessor == 0) goto restart;
    }
    if (--m_orderFall == 0) {
      successor = fsSuccessor;
      m_text -= (m_maxContext != m_minContext);
    }
  } else {
    SetSuccessor(m_foundState, successor);
    fsSuccessor = m_minContext;
  }
  ns = NumStats(m_minContext);
  s0 = SummFreq(m_minContext) - ns - (fs.freq - 1);
  for (pc = m_maxContext; pc != m_minContext && !m_corrupt; pc = Suffix(pc)) {
    if (pc == 0) goto restart;
    if ((ns1 = NumStats(pc)) > 255 || ns1 == 0) goto restart;
    if (ns1 != 1) {
      if ((ns1 & 1) == 0) {
        const uint32_t stats = ExpandUnits(Stats(pc), ns1 >> 1);
        if (stats == 0) goto restart;
        SetStats(pc, stats);
      }
      const uint32_t summ = SummFreq(pc);
      SetSummFreq(pc, summ + (2 * ns1 < ns) + 2 * ((4 * ns1 <= ns) & (summ <= 8 * ns1)));
    } else {
      p = AllocUnits(1);
      if (p == 0) goto restart;
      State one = LoadState(OneState(pc));
      if (one.freq < kMaxFreq / 4 - 1) {
        one.freq = static_cast<uint8_t>(one.freq + one.freq);
      } else {
        one.freq = kMaxFreq - 4;
      }
      StoreState(p, one);
      SetStats(pc, p);
      SetSummFreq(pc, one.freq + m_initEsc + (ns > 3));
    }
    cf = 2 * fs.freq * (SummFreq(pc) + 6);
    sf = s0 + SummFreq(pc);
    if (cf < 6 * sf) {
      cf = 1 + (cf > sf) + (cf >= 4 * sf);
      SetSummFreq(pc, SummFreq(pc) + 3);
    } else {
      cf = 4 + (cf >= 9 * sf) + (cf >= 12 * sf) + (cf >= 15 * sf);
      SetSummFreq(pc, SummFreq(pc) + cf);
    }
    p = Stats(pc) + ns1 * 6;
    StoreState(p, State{fs.symbol, static_cast<uint8_t>(cf), successor});
    SetNumStats(pc, ++ns1);
  }
  if (m_corrupt) return;
  m_maxContext = m_minContext = fsSuccessor;
  return;
restart:
  if (m_corrupt) return;
  RestartModelRare();
  m_escCount = 0;
}

void RarPpmModel::Rescale(uint32_t context) {
  const uint32_t oldNs = NumStats(context);
  if (oldNs < 2 || oldNs > 256) return void(m_corrupt = true);
  uint32_t i = oldNs - 1;
  const uint32_t stats = Stats(context);
  uint32_t p;
  for (p = m_foundState; p != stats; p -= 6) {
    if (p < stats || m_corrupt) return void(m_corrupt = true);
    SwapStates(p, p - 6);
  }
  SetFreq(stats, Freq(stats) + 4);
  SetSummFreq(context, SummFreq(context) + 4);
  int32_t escFreq = static_cast<int32_t>(SummFreq(context) - Freq(p));
  const uint32_t adder = (m_orderFall != 0);
  SetFreq(p, (Freq(p) + adder) >> 1);
  uint32_t summ = Freq(p);
  do {
    p += 6;
    escFreq -= static_cast<int32_t>(Freq(p));
    SetFreq(p, (Freq(p) + adder) >> 1);
    summ += Freq(p);
    if (Freq(p) > Freq(p - 6)) {
      const State tmp = LoadState(p);
      uint32_t p1 = p;
      do {
        StoreState(p1, LoadState(p1 - 6));
        p1 -= 6;
      } while (p1 != stats && tmp.freq > Freq(p1 - 6));
      StoreState(p1, tmp);
    }
  } while (--i);
  uint32_t numStats = oldNs;
  if (Freq(p) == 0) {
    do {
      ++i;
      p -= 6;
    } while (Freq(p) == 0);
    escFreq += static_cast<int32_t>(i);
    numStats -= i;
    SetNumStats(context, numStats);
    if (numStats == 1) {
      State tmp = LoadState(stats);
      do {
        tmp.freq = static_cast<uint8_t>(tmp.freq - (tmp.freq >> 1));
        escFreq >>= 1;
      } while (escFreq > 1);
      FreeUnits(stats, (oldNs + 1) >> 1);
      m_foundState = OneState(context);
      StoreState(m_foundState, tmp);
      return;
    }
  }
  escFreq -= escFreq >> 1;
  SetSummFreq(context, summ + static_cast<uint32_t>(escFreq));
  const unsigned n0 = (oldNs + 1) >> 1;
  const unsigned n1 = (numStats + 1) >> 1;
  if (n0 != n1) SetStats(context, ShrinkUnits(stats, n0, n1));
  m_foundState = Stats(context);
}

void RarPpmModel::Update1(uint32_t context, uint32_t p) {
  m_foundState = p;
  SetFreq(p, Freq(p) + 4);
  SetSummFreq(context, SummFreq(context) + 4);
  if (Freq(p) > Freq(p - 6)) {
    SwapStates(p, p - 6);
    m_foundState = p - 6;
    if (Freq(p - 6) > kMaxFreq) Rescale(context);
  }
}

void RarPpmModel::Update2(uint32_t context, uint32_t p) {
  m_foundState = p;
  SetFreq(p, Freq(p) + 4);
  SetSummFreq(context, SummFreq(context) + 4);
  if (Freq(p) > kMaxFreq) Rescale(context);
  ++m_escCount;
  m_runLength = m_initRL;
}

bool RarPpmModel::DecodeSymbol1(uint32_t context) {
  m_scale = SummFreq(context);
  uint32_t p = Stats(context);
  const uint32_t count = GetCurrentCount();
  if (count >= m_scale) return false;
  uint32_t hiCnt = Freq(p);
  if (count < hiCnt) {
    m_highCount = hiCnt;
    m_prevSuccess = (2 * hiCnt > m_scale);
    m_runLength += static_cast<int32_t>(m_prevSuccess);
    m_foundState = p;
    hiCnt += 4;
    SetFreq(p, hiCnt);
    SetSummFreq(context, SummFreq(context) + 4);
    if (hiCnt > kMaxFreq) Rescale(context);
    m_lowCount = 0;
    return true;
  }
  if (m_foundState == 0) return false;
  m_prevSuccess = 0;
  const uint32_t numStats = NumStats(context);
  if (numStats < 2 || numStats > 256) return false;
  uint32_t i = numStats - 1;
  while ((hiCnt += Freq(p += 6)) <= count) {
    if (--i == 0) {
      m_hiBitsFlag = m_hb2Flag[Symbol(m_foundState)];
      m_lowCount = hiCnt;
      m_charMask[Symbol(p)] = m_escCount;
      m_numMasked = numStats;
      i = numStats - 1;
      m_foundState = 0;
      do {
        p -= 6;
        m_charMask[Symbol(p)] = m_escCount;
      } while (--i);
      m_highCount = m_scale;
      return true;
    }
  }
  m_highCount = hiCnt;
  m_lowCount = hiCnt - Freq(p);
  Update1(context, p);
  return true;
}

void RarPpmModel::DecodeBinSymbol(uint32_t context) {
  const uint32_t rs = OneState(context);
  m_hiBitsFlag = m_hb2Flag[Symbol(m_foundState)];
  uint32_t freq = Freq(rs);
  if (freq == 0 || freq > 128) {
    m_corrupt = true;
    freq = 1;
  }
  const uint32_t suffixStats = NumStats(Suffix(context));
  const uint32_t column = m_prevSuccess + m_ns2BsIndex[(suffixStats - 1) & 0xFF] + m_hiBitsFlag +
                          2 * m_hb2Flag[Symbol(rs)] + ((m_runLength >> 26) & 0x20);
  uint16_t& bs = m_binSumm[freq - 1][column & 63];
  if (GetCurrentShiftCount(kTotBits) < bs) {
    m_foundState = rs;
    SetFreq(rs, freq + (freq < 128));
    m_lowCount = 0;
    m_highCount = bs;
    bs = static_cast<uint16_t>(bs + kInterval - GetMean(bs));
    m_prevSuccess = 1;
    ++m_runLength;
  } else {
    m_lowCount = bs;
    bs = static_cast<uint16_t>(bs - GetMean(bs));
    m_highCount = kBinScale;
    m_initEsc = kExpEscape[bs >> 10];
    m_numMasked = 1;
    m_charMask[Symbol(rs)] = m_escCount;
    m_prevSuccess = 0;
    m_foundState = 0;
  }
}

RarPpmModel::See2* RarPpmModel::MakeEscFreq2(uint32_t context, unsigned diff) {
  const uint32_t numStats = NumStats(context);
  if (numStats != 256) {
    See2* see = &m_see2[m_ns2Index[(diff - 1) & 0xFF]][0];
    const uint32_t suffixStats = NumStats(Suffix(context));
    const int spread = static_cast<int>(suffixStats) - static_cast<int>(numStats);
    const unsigned index = (static_cast<int>(diff) < spread) + 2 * (SummFreq(context) < 11 * numStats) +
                           4 * (m_numMasked > diff) + m_hiBitsFlag;
    see += index & 15;
    m_scale = see->Mean();
    return see;
  }
  m_scale = 1;
  return &m_dummySee2;
}

bool RarPpmModel::DecodeSymbol2(uint32_t context) {
  const uint32_t numStats = NumStats(context);
  if (numStats <= m_numMasked || numStats > 256) return false;
  unsigned i = numStats - m_numMasked;
  See2* see = MakeEscFreq2(context, i);
  uint32_t ps[256];
  unsigned count = 0;
  uint32_t p = Stats(context);
  const uint32_t end = p + numStats * 6;
  p -= 6;
  uint32_t hiCnt = 0;
  do {
    do {
      p += 6;
      if (p >= end || m_corrupt) return false;
    } while (m_charMask[Symbol(p)] == m_escCount);
    hiCnt += Freq(p);
    ps[count++] = p;
  } while (--i);
  m_scale += hiCnt;
  const uint32_t value = GetCurrentCount();
  if (value >= m_scale) return false;
  if (value < hiCnt) {
    unsigned k = 0;
    p = ps[0];
    hiCnt = Freq(p);
    while (hiCnt <= value) {
      if (++k >= count) return false;
      p = ps[k];
      hiCnt += Freq(p);
    }
    m_highCount = hiCnt;
    m_lowCount = hiCnt - Freq(p);
    see->Update();
    Update2(context, p);
  } else {
    m_lowCount = hiCnt;
    m_highCount = m_scale;
    for (unsigned k = 0; k < count; ++k) m_charMask[Symbol(ps[k])] = m_escCount;
    see->summ = static_cast<uint16_t>(see->summ + m_scale);
    m_numMasked = numStats;
  }
  return true;
}

// ---- range decoder ----

uint32_t RarPpmModel::GetChar(RarBitInput& input) {
  const uint32_t byte = input.Peek16() >> 8;
  input.Skip(8);
  return byte;
}

void RarPpmModel::InitDecoder(RarBitInput& input) {
  m_low = m_code = 0;
  m_range = 0xFFFFFFFFu;
  for (int i = 0; i < 4; ++i) m_code = (m_code << 8) | GetChar(input);
}

uint32_t RarPpmModel::GetCurrentCount() {
  if (m_scale == 0) return m_corrupt = true, 0;
  m_range /= m_scale;
  if (m_range == 0) return m_corrupt = true, 0;
  return (m_code - m_low) / m_range;
}

uint32_t RarPpmModel::GetCurrentShiftCount(unsigned shift) {
  m_range >>= shift;
  if (m_range == 0) return m_corrupt = true, 0;
  return (m_code - m_low) / m_range;
}

void RarPpmModel::Decode() {
  m_low += m_range * m_lowCount;
  m_range *= m_highCount - m_lowCount;
}

void RarPpmModel::Normalize(RarBitInput& input) {
  if (m_range == 0) return void(m_corrupt = true);
  for (int rounds = 0;; ++rounds) {
    if (rounds > 8) return void(m_corrupt = true);
    if ((m_low ^ (m_low + m_range)) >= kTop) {
      if (m_range >= kBot) return;
      m_range = (0u - m_low) & (kBot - 1);
      if (m_range == 0) return void(m_corrupt = true);
    }
    m_code = (m_code << 8) | GetChar(input);
    m_range <<= 8;
    m_low <<= 8;
    if (input.Overrun() && input.BytePosition() > input.Size() + 8) return void(m_corrupt = true);
  }
}

// ---- entry points ----

bool RarPpmModel::DecodeInit(RarBitInput& input, int& escChar) {
  const uint32_t flags = GetChar(input);
  const bool reset = (flags & 0x20) != 0;
  uint32_t maxMb = 0;
  if (reset) {
    maxMb = GetChar(input);
  } else if (!m_started) {
    return false;
  }
  if (flags & 0x40) escChar = static_cast<int>(GetChar(input));
  InitDecoder(input);
  if (input.Overrun()) return false;
  if (reset) {
    unsigned maxOrder = (flags & 0x1F) + 1;
    if (maxOrder > 16) maxOrder = 16 + (maxOrder - 16) * 3;
    m_started = false;
    if (maxOrder == 1) return false;
    m_modelTooLarge = maxMb + 1 > kMaxModelMegabytes;
    if (m_modelTooLarge) return false;
    if (!StartSubAllocator(maxMb + 1)) return false;
    m_corrupt = false;
    StartModelRare(maxOrder);
    m_started = !m_corrupt;
  }
  return m_started && m_minContext != 0;
}

int RarPpmModel::DecodeChar(RarBitInput& input) {
  if (!m_started || m_corrupt) return -1;
  if (!ContextOk(m_minContext)) return -1;
  if (NumStats(m_minContext) != 1) {
    const uint32_t stats = Stats(m_minContext);
    if (stats <= m_text || stats > m_heapEnd) return -1;
    if (!DecodeSymbol1(m_minContext)) return -1;
  } else {
    if (Suffix(m_minContext) == 0) return -1;
    DecodeBinSymbol(m_minContext);
  }
  Decode();
  while (m_foundState == 0) {
    Normalize(input);
    if (m_corrupt) return -1;
    do {
      ++m_orderFall;
      m_minContext = Suffix(m_minContext);
      if (!ContextOk(m_minContext) || m_corrupt) return -1;
    } while (NumStats(m_minContext) == m_numMasked);
    if (!DecodeSymbol2(m_minContext)) return -1;
    Decode();
  }
  const int symbol = static_cast<int>(Symbol(m_foundState));
  if (m_orderFall == 0 && Successor(m_foundState) > m_text) {
    m_minContext = m_maxContext = Successor(m_foundState);
  } else {
    UpdateModel();
    if (m_escCount == 0) ClearMask();
  }
  Normalize(input);
  if (m_corrupt) {
    m_started = false;
    return -1;
  }
  return symbol;
}

}  // namespace rar
