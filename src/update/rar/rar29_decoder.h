// Decoder of the RAR 2.9/3.x method (unpack version 29): LZ blocks with
// Huffman tables, PPMd variant H blocks, and the standard filters.
//
// One object per opened archive, used by one thread at a time. It keeps the
// state a solid archive carries from entry to entry (tables, recent
// distances, PPM model, filter definitions); the bytes themselves live in
// the archive's shared RarWindow.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "update/rar/rar_bit_input.h"
#include "update/rar/rar_filters.h"
#include "update/rar/rar_huffman.h"
#include "update/rar/rar_window.h"

namespace rar {

class RarPpmModel;

class Rar29Decoder {
 public:
  Rar29Decoder();
  ~Rar29Decoder();
  Rar29Decoder(const Rar29Decoder&) = delete;
  Rar29Decoder& operator=(const Rar29Decoder&) = delete;

  // Decodes one entry: `unpackedSize` bytes are appended to `out`. `solid`:
  // go on from the state the previous entry left (window contents, tables);
  // otherwise start fresh (the window's old bytes stay but are not referred to).
  // False with `error` set on damaged data; never reads or writes out of bounds.
  bool Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
              RarWindow& window, std::string& out, std::string& error);

 private:
  static constexpr size_t kTableSize = 299 + 60 + 17 + 28;

  struct FilterDefinition {
    RarFilterType type = RarFilterType::kNone;
    uint32_t lastBlockLength = 0;
  };
  struct PendingFilter {
    bool used = false;
    uint32_t blockStart = 0;
    uint32_t blockLength = 0;
    bool nextWindow = false;
    RarFilterType type = RarFilterType::kNone;
    uint32_t registers[7] = {};
  };

  void ResetState();
  bool Run(bool solid);
  bool Fail(const char* message);
  bool ReadTables();
  bool DecodeLzSymbol(bool& endOfEntry);
  bool DecodePpmSymbol(bool& endOfEntry);
  bool CopyMatch(uint32_t length, uint32_t distance);
  void InsertOldDistance(uint32_t distance);
  bool ReadFilterFromLz();
  bool ReadFilterFromPpm();
  bool AddFilter(unsigned firstByte, const uint8_t* code, size_t codeSize);
  uint32_t Pending() const;
  bool WriteBuffer();
  void WriteArea(size_t start, size_t end);
  void Emit(const uint8_t* data, size_t size);
  uint64_t ProducedInWindow() const;

  // Per entry.
  RarBitInput m_input;
  RarWindow* m_window = nullptr;
  std::string* m_out = nullptr;
  size_t m_outStart = 0;
  uint64_t m_limit = 0;
  uint64_t m_written = 0;  // bytes the filters saw as written (all output so far)
  uint64_t m_windowStart = 0;
  size_t m_wrPtr = 0;
  std::string m_error;

  // Carried across solid entries.
  RarHuffmanTable m_mainTable, m_distTable, m_lowDistTable, m_repTable;
  uint8_t m_oldTable[kTableSize] = {};
  uint32_t m_oldDist[4] = {};
  uint32_t m_lastLength = 0;
  uint32_t m_prevLowDist = 0;
  uint32_t m_lowDistRepCount = 0;
  bool m_tablesRead = false;
  bool m_ppmBlock = false;
  int m_ppmEscChar = 2;
  std::unique_ptr<RarPpmModel> m_ppm;
  std::vector<FilterDefinition> m_filters;
  std::vector<PendingFilter> m_stack;
  size_t m_lastFilter = 0;
  std::vector<uint8_t> m_filterMemory;
};

}  // namespace rar
