#include "update/rar/rar20_decoder.h"

#include <cstdlib>
#include <cstring>

#include "update/rar/rar_entry_writer.h"

namespace rar {
namespace {

// Match lengths by slot: base and extra bits.
constexpr uint8_t kLengthBase[28] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12,  14,  16,  20,
                                     24, 28, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224};
constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                     2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
// Distances by slot (plus one): base and extra bits.
constexpr uint32_t kDistanceBase[48] = {
    0,      1,      2,      3,      4,      6,      8,      12,     16,     24,     32,     48,
    64,     96,     128,    192,    256,    384,    512,    768,    1024,   1536,   2048,   3072,
    4096,   6144,   8192,   12288,  16384,  24576,  32768,  49152,  65536,  98304,  131072, 196608,
    262144, 327680, 393216, 458752, 524288, 589824, 655360, 720896, 786432, 851968, 917504, 983040};
constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,  5,  5,  6,  6,
                                       7,  7,  8,  8,  9,  9,  10, 10, 11, 11, 12, 12, 13, 13, 14, 14,
                                       15, 15, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
// Short distances of two-byte matches (plus one).
constexpr uint8_t kShortBase[8] = {0, 4, 8, 16, 32, 64, 128, 192};
constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

constexpr int kRepeatLast = 256;
constexpr int kNewTables = 269;
constexpr int kAudioNewTables = 256;

const char kEndsEarly[] = "RAR 2.0 data ends before the entry is complete";
const char kBadCode[] = "RAR 2.0 data holds a code its tables do not define";
const char kBadTables[] = "RAR 2.0 data holds damaged code tables";
const char kBadMatch[] = "RAR 2.0 data holds a match outside the data written so far";

}  // namespace

Rar20Decoder::Rar20Decoder() { ResetState(); }

void Rar20Decoder::ResetState() {
  m_tablesRead = false;
  m_audioBlock = false;
  m_channels = 1;
  m_channel = 0;
  m_channelDelta = 0;
  for (AudioChannel& channel : m_audioState) channel = AudioChannel();
  std::memset(m_oldLengths, 0, sizeof(m_oldLengths));
  std::memset(m_oldDistances, 0, sizeof(m_oldDistances));
  m_oldDistancePos = 0;
  m_lastDistance = 0;
  m_lastLength = 0;
}

bool Rar20Decoder::Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
                          RarWindow& window, std::string& out, std::string& error) {
  error.clear();
  if (!solid) {
    ResetState();
    m_historyStart = window.TotalWritten();
  } else if (m_historyStart > window.TotalWritten()) {
    m_historyStart = 0;  // the window was reset under us
  }
  m_in.Reset(packed, packedSize);

  const size_t outStart = out.size();
  RarEntryWriter writer(window, out, unpackedSize, m_historyStart);
  const auto fail = [&](const char* text) {
    out.resize(outStart);
    error = text;
    return false;
  };
  if (packedSize == 0) return unpackedSize == 0 ? true : fail(kEndsEarly);
  if ((!solid || !m_tablesRead) && !ReadTables()) return fail(m_in.Overrun() ? kEndsEarly : kBadTables);

  while (!writer.Done()) {
    if (m_in.Overrun()) return fail(kEndsEarly);
    writer.FlushIfFull();
    if (m_audioBlock) {
      const int symbol = m_audio[m_channel].Decode(m_in);
      if (symbol < 0) return fail(kBadCode);
      if (symbol == kAudioNewTables) {
        if (!ReadTables()) return fail(m_in.Overrun() ? kEndsEarly : kBadTables);
        continue;
      }
      writer.Put(DecodeAudio(symbol));
      if (++m_channel == m_channels) m_channel = 0;
      continue;
    }
    const int symbol = m_main.Decode(m_in);
    if (symbol < 0) return fail(kBadCode);
    if (symbol < 256) {
      writer.Put(static_cast<uint8_t>(symbol));
    } else if (symbol == kNewTables) {
      if (!ReadTables()) return fail(m_in.Overrun() ? kEndsEarly : kBadTables);
    } else if (const char* problem = DecodeMatch(writer, symbol)) {
      return fail(m_in.Overrun() ? kEndsEarly : problem);
    }
  }
  if (m_in.Overrun()) return fail(kEndsEarly);
  ReadTablesAtEnd();
  writer.Flush();
  return true;
}

bool Rar20Decoder::ReadTables() {
  const uint32_t header = m_in.Peek16();
  m_in.Skip(2);
  const bool audio = (header & 0x8000) != 0;
  const bool changes = (header & 0x4000) != 0;
  uint32_t channels = m_channels;
  size_t tableSize = kMainSymbols + kDistanceSymbols + kRepeatSymbols;
  if (audio) {
    channels = ((header >> 12) & 3) + 1;
    m_in.Skip(2);
    tableSize = kAudioSymbols * channels;
  }

  uint8_t levelLengths[kLevelSymbols];
  for (uint8_t& length : levelLengths) length = static_cast<uint8_t>(m_in.Read(4));
  RarHuffmanTable level;
  level.Build(levelLengths, kLevelSymbols);

  // Without the changes flag the lengths are sent whole; lengths beyond
  // this table's size keep their old values either way.
  uint8_t base[kStoredLengths];
  if (changes) {
    std::memcpy(base, m_oldLengths, sizeof(base));
  } else {
    std::memset(base, 0, sizeof(base));
  }
  uint8_t lengths[kStoredLengths];
  std::memcpy(lengths, base, sizeof(lengths));
  for (size_t i = 0; i < tableSize;) {
    if (m_in.Overrun()) return false;
    const int number = level.Decode(m_in);
    if (number < 0) return false;
    if (number < 16) {
      lengths[i] = static_cast<uint8_t>((number + base[i]) & 0xF);
      ++i;
    } else if (number == 16) {
      if (i == 0) return false;  // nothing to repeat yet
      for (uint32_t n = m_in.Read(2) + 3; n > 0 && i < tableSize; --n, ++i) lengths[i] = lengths[i - 1];
    } else {
      uint32_t n = number == 17 ? m_in.Read(3) + 3 : m_in.Read(7) + 11;
      for (; n > 0 && i < tableSize; --n, ++i) lengths[i] = 0;
    }
  }
  if (m_in.Overrun()) return false;

  m_audioBlock = audio;
  if (audio) {
    m_channels = channels;
    if (m_channel >= m_channels) m_channel = 0;
    for (uint32_t c = 0; c < m_channels; ++c) m_audio[c].Build(lengths + c * kAudioSymbols, kAudioSymbols);
  } else {
    m_main.Build(lengths, kMainSymbols);
    m_distances.Build(lengths + kMainSymbols, kDistanceSymbols);
    m_repeats.Build(lengths + kMainSymbols + kDistanceSymbols, kRepeatSymbols);
  }
  std::memcpy(m_oldLengths, lengths, sizeof(m_oldLengths));
  m_tablesRead = true;
  return true;
}

// An entry may end with a table change that belongs to the next entry of a
// solid archive; take it now, as the next entry starts without one. Failure
// keeps the old tables: this entry is complete either way.
void Rar20Decoder::ReadTablesAtEnd() {
  if (m_in.Overrun() || m_in.Size() - m_in.BytePosition() < 5) return;
  if (m_audioBlock) {
    if (m_audio[m_channel].Decode(m_in) == kAudioNewTables) ReadTables();
  } else if (m_main.Decode(m_in) == kNewTables) {
    ReadTables();
  }
}

uint32_t Rar20Decoder::ReadLength(int slot) { return kLengthBase[slot] + m_in.Read(kLengthBits[slot]); }

const char* Rar20Decoder::Copy(RarEntryWriter& writer, uint32_t distance, uint32_t length) {
  m_oldDistances[m_oldDistancePos] = distance;
  m_oldDistancePos = (m_oldDistancePos + 1) & 3;
  m_lastDistance = distance;
  m_lastLength = length;
  return writer.Copy(distance, length) ? nullptr : kBadMatch;
}

const char* Rar20Decoder::DecodeMatch(RarEntryWriter& writer, int symbol) {
  if (symbol > kNewTables) {
    uint32_t length = ReadLength(symbol - 270) + 3;
    const int slot = m_distances.Decode(m_in);
    if (slot < 0) return kBadCode;
    const uint32_t distance = kDistanceBase[slot] + 1 + m_in.Read(kDistanceBits[slot]);
    if (distance >= 0x2000) {
      ++length;
      if (distance >= 0x40000) ++length;
    }
    return Copy(writer, distance, length);
  }
  if (symbol == kRepeatLast) return Copy(writer, m_lastDistance, m_lastLength);
  if (symbol < 261) {
    const uint32_t distance = m_oldDistances[(m_oldDistancePos - static_cast<uint32_t>(symbol - 256)) & 3];
    const int slot = m_repeats.Decode(m_in);
    if (slot < 0) return kBadCode;
    uint32_t length = ReadLength(slot) + 2;
    if (distance >= 0x101) {
      ++length;
      if (distance >= 0x2000) {
        ++length;
        if (distance >= 0x40000) ++length;
      }
    }
    return Copy(writer, distance, length);
  }
  const int slot = symbol - 261;
  const uint32_t distance = kShortBase[slot] + 1 + m_in.Read(kShortBits[slot]);
  return Copy(writer, distance, 2);
}

// Predicts the next sample of the current channel from its last ones and
// the other channel's last change, subtracts the coded error, and every 32
// bytes nudges the weight whose variant would have erred least.
uint8_t Rar20Decoder::DecodeAudio(int delta) {
  AudioChannel& v = m_audioState[m_channel];
  ++v.byteCount;
  v.d[3] = v.d[2];
  v.d[2] = v.d[1];
  v.d[1] = v.lastDelta - v.d[0];
  v.d[0] = v.lastDelta;
  int predicted = 8 * v.lastChar + v.k[0] * v.d[0] + v.k[1] * v.d[1] + v.k[2] * v.d[2] + v.k[3] * v.d[3] +
                  v.k[4] * m_channelDelta;
  predicted = (predicted >> 3) & 0xFF;
  const int sample = predicted - delta;

  const int d = static_cast<int8_t>(static_cast<uint8_t>(delta)) * 8;
  const int variants[11] = {d,        d - v.d[0], d + v.d[0], d - v.d[1],     d + v.d[1],     d - v.d[2],
                            d + v.d[2], d - v.d[3], d + v.d[3], d - m_channelDelta, d + m_channelDelta};
  for (size_t i = 0; i < 11; ++i) v.dif[i] += static_cast<uint32_t>(std::abs(variants[i]));

  v.lastDelta = static_cast<int8_t>(static_cast<uint8_t>(sample - v.lastChar));
  m_channelDelta = v.lastDelta;
  v.lastChar = sample;

  if ((v.byteCount & 0x1F) == 0) {
    uint32_t minDif = v.dif[0];
    size_t best = 0;
    v.dif[0] = 0;
    for (size_t i = 1; i < 11; ++i) {
      if (v.dif[i] < minDif) {
        minDif = v.dif[i];
        best = i;
      }
      v.dif[i] = 0;
    }
    if (best > 0) {
      int& k = v.k[(best - 1) / 2];
      if (best % 2 == 1) {
        if (k >= -16) --k;
      } else if (k < 16) {
        ++k;
      }
    }
  }
  return static_cast<uint8_t>(sample);
}

}  // namespace rar
