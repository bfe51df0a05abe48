#include "update/rar/rar29_decoder.h"

#include <algorithm>
#include <cstring>

#include "update/rar/rar_ppm_model.h"

namespace rar {
namespace {

constexpr size_t kMainSize = 299;
constexpr size_t kDistSize = 60;
constexpr size_t kLowDistSize = 17;
constexpr size_t kRepSize = 28;
constexpr size_t kBitLengthSize = 20;
constexpr size_t kMaxFilters = 8192;
// Flush the window while this much room is left, so no match can overwrite
// bytes not yet written out.
constexpr size_t kFlushMargin = 0x1000;

constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,   7,   8,   10,  12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

struct DistanceTables {
  uint32_t base[kDistSize];
  uint8_t bits[kDistSize];
  DistanceTables() {
    // 4 codes without extra bits, two each of 1..15 bits, 14 of 16, 12 of 18.
    static constexpr uint8_t kCounts[19] = {4, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 14, 0, 12};
    uint32_t dist = 0;
    size_t slot = 0;
    for (unsigned bitLength = 0; bitLength < 19; ++bitLength) {
      for (unsigned j = 0; j < kCounts[bitLength]; ++j, ++slot) {
        base[slot] = dist;
        bits[slot] = static_cast<uint8_t>(bitLength);
        dist += 1u << bitLength;
      }
    }
  }
};
const DistanceTables kDist;

// Variable-length numbers of the filter records.
uint32_t ReadFilterNumber(RarBitInput& in) {
  uint32_t data = in.Peek16();
  switch (data & 0xC000) {
    case 0:
      in.Skip(6);
      return (data >> 10) & 0xF;
    case 0x4000:
      if ((data & 0x3C00) == 0) {
        data = 0xFFFFFF00u | ((data >> 2) & 0xFF);
        in.Skip(14);
      } else {
        data = (data >> 6) & 0xFF;
        in.Skip(10);
      }
      return data;
    case 0x8000:
      in.Skip(2);
      data = in.Peek16();
      in.Skip(16);
      return data;
    default:
      in.Skip(2);
      data = in.Peek16() << 16;
      in.Skip(16);
      data |= in.Peek16();
      in.Skip(16);
      return data;
  }
}

}  // namespace

Rar29Decoder::Rar29Decoder() : m_filterMemory(kFilterMemorySize + 8, 0) {}
Rar29Decoder::~Rar29Decoder() = default;

void Rar29Decoder::ResetState() {
  std::memset(m_oldTable, 0, sizeof(m_oldTable));
  std::memset(m_oldDist, 0, sizeof(m_oldDist));
  m_lastLength = 0;
  m_prevLowDist = 0;
  m_lowDistRepCount = 0;
  m_tablesRead = false;
  m_ppmBlock = false;
  m_ppmEscChar = 2;
  if (m_ppm) m_ppm->Reset();
  m_filters.clear();
  m_lastFilter = 0;
}

bool Rar29Decoder::Fail(const char* message) {
  if (m_error.empty()) m_error = message;
  return false;
}

uint64_t Rar29Decoder::ProducedInWindow() const { return m_window->TotalWritten() - m_windowStart; }

uint32_t Rar29Decoder::Pending() const {
  return static_cast<uint32_t>((m_window->Position() - m_wrPtr) & RarWindow::kMask);
}

bool Rar29Decoder::Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
                          RarWindow& window, std::string& out, std::string& error) {
  m_window = &window;
  m_out = &out;
  m_outStart = out.size();
  m_limit = unpackedSize;
  m_written = 0;
  m_error.clear();
  m_input.Reset(packed, packedSize);
  if (!solid) ResetState();
  m_stack.clear();
  window.DiscardPending();
  m_wrPtr = window.Position();
  m_windowStart = window.TotalWritten();

  bool ok = Run(solid);
  // Errors after the entry's last byte (a missing end marker, padding) do
  // not spoil the entry; its CRC still has the last word.
  if (!ok && ProducedInWindow() >= m_limit) ok = true;
  if (ok && !WriteBuffer()) ok = false;
  window.DiscardPending();
  const uint64_t produced = out.size() - m_outStart;
  if (ok && produced != unpackedSize) {
    ok = Fail("packed data ends before the entry is complete");
  }
  if (!ok) {
    error = m_error.empty() ? "damaged packed data" : m_error;
    // The next solid entry cannot go on from a broken state.
    m_tablesRead = false;
  }
  m_window = nullptr;
  m_out = nullptr;
  return ok;
}

bool Rar29Decoder::Run(bool solid) {
  if ((!solid || !m_tablesRead) && !ReadTables()) return Fail("bad table header");
  for (;;) {
    if (ProducedInWindow() > m_limit) return true;
    if (m_input.Overrun()) {
      return ProducedInWindow() >= m_limit ? true : Fail("packed data ends before the entry is complete");
    }
    if (Pending() >= RarWindow::kSize - kFlushMargin && !WriteBuffer()) return false;
    bool end = false;
    const bool ok = m_ppmBlock ? DecodePpmSymbol(end) : DecodeLzSymbol(end);
    if (!ok) return false;
    if (end) return true;
  }
}

bool Rar29Decoder::ReadTables() {
  m_input.AlignToByte();
  const uint32_t bitField = m_input.Peek16();
  if (bitField & 0x8000) {
    m_ppmBlock = true;
    if (!m_ppm) m_ppm = std::make_unique<RarPpmModel>();
    if (!m_ppm->DecodeInit(m_input, m_ppmEscChar)) {
      return Fail(m_ppm->ModelTooLarge() ? "PPM model larger than the decoder allows" : "bad PPM block header");
    }
    return true;
  }
  m_ppmBlock = false;
  m_prevLowDist = 0;
  m_lowDistRepCount = 0;
  if (!(bitField & 0x4000)) std::memset(m_oldTable, 0, sizeof(m_oldTable));
  m_input.Skip(2);

  uint8_t bitLengths[kBitLengthSize];
  for (size_t i = 0; i < kBitLengthSize;) {
    const uint32_t length = m_input.Read(4);
    if (length == 15) {
      uint32_t zeroCount = m_input.Read(4);
      if (zeroCount == 0) {
        bitLengths[i++] = 15;
      } else {
        for (zeroCount += 2; zeroCount > 0 && i < kBitLengthSize; --zeroCount) bitLengths[i++] = 0;
      }
    } else {
      bitLengths[i++] = static_cast<uint8_t>(length);
    }
  }
  RarHuffmanTable bitTable;
  bitTable.Build(bitLengths, kBitLengthSize);

  uint8_t table[kTableSize];
  for (size_t i = 0; i < kTableSize;) {
    if (m_input.Overrun()) return Fail("table cut short");
    const int number = bitTable.Decode(m_input);
    if (number < 0) return Fail("bad table code");
    if (number < 16) {
      table[i] = static_cast<uint8_t>((number + m_oldTable[i]) & 0xF);
      ++i;
    } else if (number < 18) {
      const uint32_t count = number == 16 ? m_input.Read(3) + 3 : m_input.Read(7) + 11;
      if (i == 0) return Fail("table repeats before its first length");
      for (uint32_t n = 0; n < count && i < kTableSize; ++n, ++i) table[i] = table[i - 1];
    } else {
      const uint32_t count = number == 18 ? m_input.Read(3) + 3 : m_input.Read(7) + 11;
      for (uint32_t n = 0; n < count && i < kTableSize; ++n) table[i++] = 0;
    }
  }
  if (m_input.Overrun()) return Fail("table cut short");
  m_tablesRead = true;
  m_mainTable.Build(table, kMainSize);
  m_distTable.Build(table + kMainSize, kDistSize);
  m_lowDistTable.Build(table + kMainSize + kDistSize, kLowDistSize);
  m_repTable.Build(table + kMainSize + kDistSize + kLowDistSize, kRepSize);
  std::memcpy(m_oldTable, table, sizeof(m_oldTable));
  return true;
}

void Rar29Decoder::InsertOldDistance(uint32_t distance) {
  m_oldDist[3] = m_oldDist[2];
  m_oldDist[2] = m_oldDist[1];
  m_oldDist[1] = m_oldDist[0];
  m_oldDist[0] = distance;
}

bool Rar29Decoder::CopyMatch(uint32_t length, uint32_t distance) {
  if (!m_window->CopyMatch(distance, length)) return Fail("match distance outside the window");
  return true;
}

bool Rar29Decoder::DecodeLzSymbol(bool& endOfEntry) {
  RarBitInput& in = m_input;
  const int symbol = m_mainTable.Decode(in);
  if (symbol < 0) return Fail("bad code");
  const unsigned number = static_cast<unsigned>(symbol);
  if (number < 256) {
    m_window->Put(static_cast<uint8_t>(number));
    return true;
  }
  if (number >= 271) {
    const unsigned slot = number - 271;
    uint32_t length = kLengthBase[slot] + 3u + in.Read(kLengthBits[slot]);
    const int distCode = m_distTable.Decode(in);
    if (distCode < 0 || static_cast<size_t>(distCode) >= kDistSize) return Fail("bad distance code");
    const unsigned distSlot = static_cast<unsigned>(distCode);
    uint32_t distance = kDist.base[distSlot] + 1;
    const unsigned bits = kDist.bits[distSlot];
    if (bits > 0) {
      if (distSlot > 9) {
        if (bits > 4) distance += in.Read(bits - 4) << 4;
        if (m_lowDistRepCount > 0) {
          --m_lowDistRepCount;
          distance += m_prevLowDist;
        } else {
          const int lowCode = m_lowDistTable.Decode(in);
          if (lowCode < 0) return Fail("bad distance code");
          const unsigned lowDist = static_cast<unsigned>(lowCode);
          if (lowDist == 16) {
            m_lowDistRepCount = 16 - 1;
            distance += m_prevLowDist;
          } else {
            distance += lowDist;
            m_prevLowDist = lowDist;
          }
        }
      } else {
        distance += in.Read(bits);
      }
    }
    if (distance >= 0x2000) {
      ++length;
      if (distance >= 0x40000) ++length;
    }
    InsertOldDistance(distance);
    m_lastLength = length;
    return CopyMatch(length, distance);
  }
  if (number == 256) {
    const uint32_t bitField = in.Peek16();
    bool newTable;
    bool newFile = false;
    if (bitField & 0x8000) {
      newTable = true;
      in.Skip(1);
    } else {
      newFile = true;
      newTable = (bitField & 0x4000) != 0;
      in.Skip(2);
    }
    m_tablesRead = !newTable;
    if (newFile) {
      endOfEntry = true;
      return true;
    }
    return ReadTables();
  }
  if (number == 257) return ReadFilterFromLz();
  if (number == 258) {
    if (m_lastLength == 0) return true;
    return CopyMatch(m_lastLength, m_oldDist[0]);
  }
  if (number < 263) {
    const unsigned index = number - 259;
    const uint32_t distance = m_oldDist[index];
    for (unsigned i = index; i > 0; --i) m_oldDist[i] = m_oldDist[i - 1];
    m_oldDist[0] = distance;
    const int repCode = m_repTable.Decode(in);
    if (repCode < 0 || static_cast<size_t>(repCode) >= kRepSize) return Fail("bad length code");
    const unsigned slot = static_cast<unsigned>(repCode);
    const uint32_t length = kLengthBase[slot] + 2u + in.Read(kLengthBits[slot]);
    m_lastLength = length;
    return CopyMatch(length, distance);
  }
  if (number <= 270) {
    const unsigned slot = number - 263;
    const uint32_t distance = kShortBase[slot] + 1u + in.Read(kShortBits[slot]);
    InsertOldDistance(distance);
    m_lastLength = 2;
    return CopyMatch(2, distance);
  }
  return Fail("bad symbol");
}

bool Rar29Decoder::DecodePpmSymbol(bool& endOfEntry) {
  const int ch = m_ppm->DecodeChar(m_input);
  if (ch < 0) return Fail("damaged PPM data");
  if (ch == m_ppmEscChar) {
    const int next = m_ppm->DecodeChar(m_input);
    if (next < 0) return Fail("damaged PPM data");
    switch (next) {
      case 0:
        return ReadTables();
      case 2:
        endOfEntry = true;
        return true;
      case 3:
        return ReadFilterFromPpm();
      case 4: {
        uint32_t distance = 0;
        uint32_t length = 0;
        for (int i = 0; i < 4; ++i) {
          const int c = m_ppm->DecodeChar(m_input);
          if (c < 0) return Fail("damaged PPM data");
          if (i == 3) {
            length = static_cast<uint32_t>(c);
          } else {
            distance = (distance << 8) + static_cast<uint32_t>(c);
          }
        }
        return CopyMatch(length + 32, distance + 2);
      }
      case 5: {
        const int c = m_ppm->DecodeChar(m_input);
        if (c < 0) return Fail("damaged PPM data");
        return CopyMatch(static_cast<uint32_t>(c) + 4, 1);
      }
      default:
        break;
    }
  }
  m_window->Put(static_cast<uint8_t>(ch));
  return true;
}

bool Rar29Decoder::ReadFilterFromLz() {
  const unsigned firstByte = m_input.Read(8);
  uint32_t length = (firstByte & 7) + 1;
  if (length == 7) {
    length = m_input.Read(8) + 7;
  } else if (length == 8) {
    length = m_input.Read(16);
  }
  if (length == 0) return Fail("empty filter record");
  std::vector<uint8_t> code(length);
  for (uint32_t i = 0; i < length; ++i) code[i] = static_cast<uint8_t>(m_input.Read(8));
  if (m_input.Overrun()) return Fail("filter record cut short");
  return AddFilter(firstByte, code.data(), code.size());
}

bool Rar29Decoder::ReadFilterFromPpm() {
  const int firstByte = m_ppm->DecodeChar(m_input);
  if (firstByte < 0) return Fail("damaged PPM data");
  uint32_t length = (firstByte & 7) + 1;
  if (length == 7) {
    const int b = m_ppm->DecodeChar(m_input);
    if (b < 0) return Fail("damaged PPM data");
    length = static_cast<uint32_t>(b) + 7;
  } else if (length == 8) {
    const int b1 = m_ppm->DecodeChar(m_input);
    const int b2 = m_ppm->DecodeChar(m_input);
    if (b1 < 0 || b2 < 0) return Fail("damaged PPM data");
    length = static_cast<uint32_t>(b1) * 256 + static_cast<uint32_t>(b2);
  }
  if (length == 0) return Fail("empty filter record");
  std::vector<uint8_t> code(length);
  for (uint32_t i = 0; i < length; ++i) {
    const int c = m_ppm->DecodeChar(m_input);
    if (c < 0) return Fail("damaged PPM data");
    code[i] = static_cast<uint8_t>(c);
  }
  return AddFilter(static_cast<unsigned>(firstByte), code.data(), code.size());
}

bool Rar29Decoder::AddFilter(unsigned firstByte, const uint8_t* code, size_t codeSize) {
  RarBitInput in(code, codeSize);
  size_t filterPos;
  if (firstByte & 0x80) {
    filterPos = ReadFilterNumber(in);
    if (filterPos == 0) {
      m_filters.clear();
      m_lastFilter = 0;
    } else {
      --filterPos;
    }
  } else {
    filterPos = m_lastFilter;
  }
  if (filterPos > m_filters.size()) return Fail("filter number out of range");
  m_lastFilter = filterPos;
  const bool newFilter = filterPos == m_filters.size();
  if (newFilter) {
    if (filterPos >= kMaxFilters) return Fail("too many filters");
    m_filters.emplace_back();
  }

  // Reuse the first free slot of the stack, keeping the order of the rest.
  size_t emptyCount = 0;
  for (size_t i = 0; i < m_stack.size(); ++i) {
    m_stack[i - emptyCount] = m_stack[i];
    if (!m_stack[i].used) ++emptyCount;
    if (emptyCount > 0) m_stack[i].used = false;
  }
  if (emptyCount == 0) {
    if (m_stack.size() > kMaxFilters) return Fail("too many pending filters");
    m_stack.emplace_back();
    emptyCount = 1;
  }
  PendingFilter& pending = m_stack[m_stack.size() - emptyCount];
  pending = PendingFilter{};
  pending.used = true;

  uint32_t blockStart = ReadFilterNumber(in);
  if (firstByte & 0x40) blockStart += 258;
  pending.blockStart = static_cast<uint32_t>((blockStart + m_window->Position()) & RarWindow::kMask);
  FilterDefinition& definition = m_filters[filterPos];
  if (firstByte & 0x20) {
    pending.blockLength = ReadFilterNumber(in);
    definition.lastBlockLength = pending.blockLength;
  } else {
    pending.blockLength = definition.lastBlockLength;
  }
  const uint32_t free = static_cast<uint32_t>((m_wrPtr - m_window->Position()) & RarWindow::kMask);
  pending.nextWindow = m_wrPtr != m_window->Position() && free <= blockStart;

  pending.registers[4] = pending.blockLength;
  if (firstByte & 0x10) {
    const unsigned initMask = in.Read(7);
    for (unsigned i = 0; i < 7; ++i) {
      if (initMask & (1u << i)) pending.registers[i] = ReadFilterNumber(in);
    }
  }
  if (newFilter) {
    const uint32_t programSize = ReadFilterNumber(in);
    if (programSize == 0 || programSize >= 0x10000) return Fail("bad filter program size");
    std::vector<uint8_t> program(programSize);
    for (uint32_t i = 0; i < programSize; ++i) program[i] = static_cast<uint8_t>(in.Read(8));
    definition.type = IdentifyRarFilter(program.data(), program.size());
    if (definition.type == RarFilterType::kNone) return Fail("unsupported filter program");
  }
  pending.type = definition.type;
  if (firstByte & 0x08) {
    const uint32_t dataSize = ReadFilterNumber(in);
    if (dataSize > 0x2000 - 0x40) return Fail("bad filter data size");
    for (uint32_t i = 0; i < dataSize; ++i) in.Skip(8);  // the standard filters ignore it
  }
  if (in.Overrun()) return Fail("filter record cut short");
  return true;
}

void Rar29Decoder::Emit(const uint8_t* data, size_t size) {
  const uint64_t have = m_out->size() - m_outStart;
  if (have < m_limit) {
    const uint64_t room = m_limit - have;
    m_out->append(reinterpret_cast<const char*>(data), static_cast<size_t>(std::min<uint64_t>(size, room)));
  }
  m_written += size;
}

void Rar29Decoder::WriteArea(size_t start, size_t end) {
  const uint8_t* data = m_window->Data();
  if (end < start) {
    Emit(data + start, RarWindow::kSize - start);
    Emit(data, end);
  } else if (end > start) {
    Emit(data + start, end - start);
  }
}

bool Rar29Decoder::WriteBuffer() {
  const size_t mask = RarWindow::kMask;
  const size_t unpPtr = m_window->Position();
  size_t writtenBorder = m_wrPtr;
  size_t writeSize = (unpPtr - writtenBorder) & mask;
  for (size_t i = 0; i < m_stack.size(); ++i) {
    PendingFilter& filter = m_stack[i];
    if (!filter.used) continue;
    if (filter.nextWindow) {
      filter.nextWindow = false;
      continue;
    }
    const size_t blockStart = filter.blockStart;
    const size_t blockLength = filter.blockLength;
    if (((blockStart - writtenBorder) & mask) >= writeSize) continue;
    if (writtenBorder != blockStart) {
      WriteArea(writtenBorder, blockStart);
      writtenBorder = blockStart;
      writeSize = (unpPtr - writtenBorder) & mask;
    }
    if (blockLength > writeSize) {
      // The block is not complete yet: write up to it and wait.
      for (size_t j = i; j < m_stack.size(); ++j) {
        if (m_stack[j].used) m_stack[j].nextWindow = false;
      }
      m_wrPtr = writtenBorder;
      return true;
    }
    const size_t blockEnd = (blockStart + blockLength) & mask;
    uint8_t* memory = m_filterMemory.data();
    const size_t copy = std::min<size_t>(blockLength, kFilterMemorySize);
    const size_t firstPart = std::min(copy, RarWindow::kSize - blockStart);
    std::memcpy(memory, m_window->Data() + blockStart, firstPart);
    std::memcpy(memory + firstPart, m_window->Data(), copy - firstPart);

    uint32_t outStart = 0;
    uint32_t outLength = 0;
    filter.registers[6] = static_cast<uint32_t>(m_written);
    if (!RunRarFilter(filter.type, memory, filter.registers, outStart, outLength)) {
      return Fail("bad filter parameters");
    }
    if (static_cast<uint64_t>(outStart) + outLength >= kFilterMemorySize) outStart = outLength = 0;
    filter.used = false;
    // Further filters on the same block run over this one's output.
    while (i + 1 < m_stack.size()) {
      PendingFilter& next = m_stack[i + 1];
      if (!next.used || next.blockStart != blockStart || next.blockLength != outLength || next.nextWindow) break;
      std::memmove(memory, memory + outStart, outLength);
      next.registers[6] = static_cast<uint32_t>(m_written);
      if (!RunRarFilter(next.type, memory, next.registers, outStart, outLength)) {
        return Fail("bad filter parameters");
      }
      if (static_cast<uint64_t>(outStart) + outLength >= kFilterMemorySize) outStart = outLength = 0;
      next.used = false;
      ++i;
    }
    Emit(memory + outStart, outLength);
    writtenBorder = blockEnd;
    writeSize = (unpPtr - writtenBorder) & mask;
  }
  WriteArea(writtenBorder, unpPtr);
  m_wrPtr = unpPtr;
  return true;
}

}  // namespace rar
