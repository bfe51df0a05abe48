#include "update/rar/rar15_decoder.h"

#include <cstring>

#include "update/rar/rar_entry_writer.h"

namespace rar {
namespace {

// A fixed code shape: a 16-bit peek below limits[0] is a code of
// `startBits` bits, each further limit adds one bit, and bases[n] is the
// first number coded with n bits. Every peek masked to 0xFFF0 stops at a
// limit of 0xFFFF, and no shape yields a number above 256.
struct Shape {
  unsigned startBits;
  uint16_t limits[11];
  uint16_t bases[13];
};

constexpr Shape kLengthShape1 = {
    2,
    {0x8000, 0xA000, 0xC000, 0xD000, 0xE000, 0xEA00, 0xEE00, 0xF000, 0xF200, 0xF200, 0xFFFF},
    {0, 0, 0, 2, 3, 5, 7, 11, 16, 20, 24, 32, 32}};
constexpr Shape kLengthShape2 = {
    3,
    {0xA000, 0xC000, 0xD000, 0xE000, 0xEA00, 0xEE00, 0xF000, 0xF200, 0xF240, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 5, 7, 9, 13, 18, 22, 26, 34, 36}};
// Shapes for places in the adaptive tables, from flat to steep.
constexpr Shape kPlaceShape0 = {
    4,
    {0x8000, 0xC000, 0xE000, 0xF200, 0xF200, 0xF200, 0xF200, 0xF200, 0xFFFF, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 0, 8, 16, 24, 33, 33, 33, 33, 33}};
constexpr Shape kPlaceShape1 = {
    5,
    {0x2000, 0xC000, 0xE000, 0xF000, 0xF200, 0xF200, 0xF7E0, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 0, 0, 4, 44, 60, 76, 80, 80, 127}};
constexpr Shape kPlaceShape2 = {
    5,
    {0x1000, 0x2400, 0x8000, 0xC000, 0xFA00, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 0, 0, 2, 7, 53, 117, 233, 0, 0}};
constexpr Shape kPlaceShape3 = {
    6,
    {0x0800, 0x2400, 0xEE00, 0xFE80, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 0, 0, 0, 2, 16, 218, 251, 0, 0}};
constexpr Shape kPlaceShape4 = {
    8,
    {0xFF00, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 0, 0}};

// Prefix codes of the short matches, two sets picked by the average short
// length: a code matches when its top `bits` bits equal those of `pattern`.
// Code 1 of set 1 and code 3 of set 2 are one bit longer while the toggle
// is set (their table entry is 0 here and filled in at run time).
constexpr uint8_t kShortBits1[15] = {1, 0, 4, 4, 5, 6, 7, 8, 8, 4, 4, 5, 6, 6, 4};
constexpr uint8_t kShortPattern1[15] = {0x00, 0xA0, 0xD0, 0xE0, 0xF0, 0xF8, 0xFC, 0xFE,
                                        0xFF, 0xC0, 0x80, 0x90, 0x98, 0x9C, 0xB0};
constexpr uint8_t kShortBits2[15] = {2, 3, 3, 0, 4, 4, 5, 6, 6, 4, 4, 5, 6, 6, 4};
constexpr uint8_t kShortPattern2[15] = {0x00, 0x40, 0x60, 0xA0, 0xD0, 0xE0, 0xF0, 0xF8,
                                        0xFC, 0xC0, 0x80, 0x90, 0x98, 0x9C, 0xB0};
constexpr uint32_t kShortCodeCount = 15;

uint32_t DecodeNumber(RarBitInput& in, const Shape& shape) {
  const uint32_t bits = in.Peek16() & 0xFFF0;
  unsigned length = shape.startBits;
  unsigned i = 0;
  while (i < 10 && shape.limits[i] <= bits) {
    ++i;
    ++length;
  }
  in.Skip(length);
  const uint32_t below = i == 0 ? 0 : shape.limits[i - 1];
  return ((bits - below) >> (16 - length)) + shape.bases[length];
}

// Gives every entry a fresh counter by position (eight classes of 32) and
// resets where each class hands out its next place.
void Rebalance(uint16_t* set, uint8_t* places) {
  size_t k = 0;
  for (int counter = 7; counter >= 0; --counter) {
    for (int j = 0; j < 32; ++j, ++k) set[k] = static_cast<uint16_t>((set[k] & 0xFF00) | counter);
  }
  std::memset(places, 0, 256);
  for (int i = 6; i >= 0; --i) places[i] = static_cast<uint8_t>((7 - i) * 32);
}

// Counts one use of the entry at `place` and swaps it with the entry at the
// next place its counter class hands out; rebalances first when the counter
// would pass `counterLimit`. Returns the entry with its new counter.
uint32_t Promote(uint16_t* set, uint8_t* places, uint32_t place, uint32_t counterLimit) {
  for (;;) {
    const uint32_t entry = set[place];
    const uint32_t counter = entry & 0xFF;
    const uint32_t newPlace = places[counter]++;
    if (counter >= counterLimit) {
      Rebalance(set, places);
      continue;
    }
    set[place] = set[newPlace];
    set[newPlace] = static_cast<uint16_t>(entry + 1);
    return entry + 1;
  }
}

}  // namespace

Rar15Decoder::Rar15Decoder() { ResetState(); }

void Rar15Decoder::ResetTables() {
  for (uint32_t i = 0; i < 256; ++i) {
    m_literals[i] = static_cast<uint16_t>(i << 8);
    m_longDistances[i] = static_cast<uint16_t>(i << 8);
    m_shortDistances[i] = static_cast<uint16_t>(i);
    m_flagSets[i] = static_cast<uint16_t>(((0u - i) & 0xFF) << 8);
  }
  std::memset(m_literalPlaces, 0, sizeof(m_literalPlaces));
  std::memset(m_longDistancePlaces, 0, sizeof(m_longDistancePlaces));
  std::memset(m_flagSetPlaces, 0, sizeof(m_flagSetPlaces));
  Rebalance(m_longDistances, m_longDistancePlaces);
}

void Rar15Decoder::ResetState() {
  ResetTables();
  m_avgLiteralPlace = 0x3500;
  m_avgLongDistancePlace = 0;
  m_avgShortLength = 0;
  m_avgLongLength = 0;
  m_avgLongLength3 = 0;
  m_literalWeight = 0x80;
  m_matchWeight = 0x80;
  m_maxDistance3 = 0x2001;
  m_literalRun = 0;
  m_shortLengthToggle = 0;
  std::memset(m_oldDistances, 0, sizeof(m_oldDistances));
  m_oldDistancePos = 0;
  m_lastDistance = 0;
  m_lastLength = 0;
}

bool Rar15Decoder::Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
                          RarWindow& window, std::string& out, std::string& error) {
  error.clear();
  if (!solid) {
    ResetState();
    m_historyStart = window.TotalWritten();
  } else if (m_historyStart > window.TotalWritten()) {
    m_historyStart = 0;  // the window was reset under us
  }
  m_flags = 0;
  m_flagsLeft = 0;
  m_literalMode = false;
  m_repeatCount = 0;
  m_in.Reset(packed, packedSize);

  const size_t outStart = out.size();
  RarEntryWriter writer(window, out, unpackedSize, m_historyStart);
  const auto fail = [&](const char* text) {
    out.resize(outStart);
    error = text;
    return false;
  };
  if (unpackedSize == 0) return true;

  const auto nextFlag = [this]() {
    if (--m_flagsLeft < 0) {
      ReadFlags();
      m_flagsLeft = 7;
    }
    const bool set = (m_flags & 0x80) != 0;
    m_flags = (m_flags << 1) & 0xFF;
    return set;
  };

  ReadFlags();
  m_flagsLeft = 8;
  while (!writer.Done()) {
    if (m_in.Overrun()) return fail("RAR 1.5 data ends before the entry is complete");
    writer.FlushIfFull();
    bool ok;
    if (m_literalMode) {
      ok = DecodeLiteral(writer);
    } else if (nextFlag()) {
      ok = m_matchWeight > m_literalWeight ? DecodeLongMatch(writer) : DecodeLiteral(writer);
    } else if (nextFlag()) {
      ok = m_matchWeight > m_literalWeight ? DecodeLiteral(writer) : DecodeLongMatch(writer);
    } else {
      ok = DecodeShortMatch(writer);
    }
    if (!ok) return fail("RAR 1.5 data holds a match outside the data written so far");
  }
  if (m_in.Overrun()) return fail("RAR 1.5 data ends before the entry is complete");
  writer.Flush();
  return true;
}

void Rar15Decoder::ReadFlags() {
  const uint32_t place = DecodeNumber(m_in, kPlaceShape2);
  // Place 256 cannot be coded by a sound stream; the old flags stay.
  if (place >= 256) return;
  m_flags = Promote(m_flagSets, m_flagSetPlaces, place, 0xFF) >> 8;
}

void Rar15Decoder::RememberMatch(uint32_t distance, uint32_t length) {
  m_oldDistances[m_oldDistancePos] = distance;
  m_oldDistancePos = (m_oldDistancePos + 1) & 3;
  m_lastDistance = distance;
  m_lastLength = length;
}

bool Rar15Decoder::DecodeLiteral(RarEntryWriter& writer) {
  const uint32_t bits = m_in.Peek16();
  const Shape& shape = m_avgLiteralPlace > 0x75FF   ? kPlaceShape4
                       : m_avgLiteralPlace > 0x5DFF ? kPlaceShape3
                       : m_avgLiteralPlace > 0x35FF ? kPlaceShape2
                       : m_avgLiteralPlace > 0x0DFF ? kPlaceShape1
                                                    : kPlaceShape0;
  uint32_t place = DecodeNumber(m_in, shape) & 0xFF;
  if (m_literalMode) {
    // In literal mode place 0 is an escape: back to flags, or a short match.
    if (place == 0 && bits > 0xFFF) place = 0x100;
    if (place == 0) {
      const uint32_t escape = m_in.Peek16();
      m_in.Skip(1);
      if (escape & 0x8000) {
        m_literalRun = 0;
        m_literalMode = false;
        return true;
      }
      const uint32_t length = (escape & 0x4000) ? 4 : 3;
      m_in.Skip(1);
      uint32_t distance = DecodeNumber(m_in, kPlaceShape2);
      distance = (distance << 5) | (m_in.Peek16() >> 11);
      m_in.Skip(5);
      return writer.Copy(distance, length);
    }
    --place;
  } else if (m_literalRun++ >= 16 && m_flagsLeft == 0) {
    m_literalMode = true;
  }
  m_avgLiteralPlace += place;
  m_avgLiteralPlace -= m_avgLiteralPlace >> 8;
  m_literalWeight += 16;
  if (m_literalWeight > 0xFF) {
    m_literalWeight = 0x90;
    m_matchWeight >>= 1;
  }
  writer.Put(static_cast<uint8_t>(m_literals[place] >> 8));
  Promote(m_literals, m_literalPlaces, place, 0xA1);
  return true;
}

bool Rar15Decoder::DecodeShortMatch(RarEntryWriter& writer) {
  m_literalRun = 0;
  uint32_t bits = m_in.Peek16();
  if (m_repeatCount == 2) {
    m_in.Skip(1);
    if (bits >= 0x8000) return writer.Copy(m_lastDistance, m_lastLength);
    bits <<= 1;
    m_repeatCount = 0;
  }
  bits = (bits >> 8) & 0xFF;

  const bool firstSet = m_avgShortLength < 37;
  const uint8_t* codeBits = firstSet ? kShortBits1 : kShortBits2;
  const uint8_t* patterns = firstSet ? kShortPattern1 : kShortPattern2;
  const uint32_t toggled = firstSet ? 1 : 3;
  uint32_t code = 0;
  unsigned width = 0;
  for (; code < kShortCodeCount; ++code) {
    width = code == toggled ? 3 + m_shortLengthToggle : codeBits[code];
    if (((bits ^ patterns[code]) & ~(0xFFu >> width) & 0xFF) == 0) break;
  }
  if (code == kShortCodeCount) return false;  // both sets are complete codes
  m_in.Skip(width);

  if (code >= 9) {
    if (code == 9) {
      ++m_repeatCount;
      return writer.Copy(m_lastDistance, m_lastLength);
    }
    m_repeatCount = 0;
    if (code == 14) {
      const uint32_t length = DecodeNumber(m_in, kLengthShape2) + 5;
      const uint32_t distance = (m_in.Peek16() >> 1) | 0x8000;
      m_in.Skip(15);
      m_lastLength = length;
      m_lastDistance = distance;
      return writer.Copy(distance, length);
    }
    const uint32_t distance = m_oldDistances[(m_oldDistancePos - (code - 9)) & 3];
    uint32_t length = DecodeNumber(m_in, kLengthShape1) + 2;
    if (length == 0x101 && code == 10) {
      m_shortLengthToggle ^= 1;
      return true;
    }
    if (distance > 256) ++length;
    if (distance >= m_maxDistance3) ++length;
    RememberMatch(distance, length);
    return writer.Copy(distance, length);
  }

  m_repeatCount = 0;
  m_avgShortLength += code;
  m_avgShortLength -= m_avgShortLength >> 4;
  const uint32_t place = DecodeNumber(m_in, kPlaceShape2) & 0xFF;
  uint32_t distance = m_shortDistances[place];
  if (place > 0) {
    m_shortDistances[place] = m_shortDistances[place - 1];
    m_shortDistances[place - 1] = static_cast<uint16_t>(distance);
  }
  ++distance;
  const uint32_t length = code + 2;
  RememberMatch(distance, length);
  return writer.Copy(distance, length);
}

bool Rar15Decoder::DecodeLongMatch(RarEntryWriter& writer) {
  m_literalRun = 0;
  m_matchWeight += 16;
  if (m_matchWeight > 0xFF) {
    m_matchWeight = 0x90;
    m_literalWeight >>= 1;
  }
  const uint32_t oldAvgLength = m_avgLongLength;

  uint32_t length;
  const uint32_t bits = m_in.Peek16();
  if (m_avgLongLength >= 122) {
    length = DecodeNumber(m_in, kLengthShape2);
  } else if (m_avgLongLength >= 64) {
    length = DecodeNumber(m_in, kLengthShape1);
  } else if (bits < 0x100) {
    length = bits;
    m_in.Skip(16);
  } else {
    for (length = 0; ((bits << length) & 0x8000) == 0; ++length) {
    }
    m_in.Skip(length + 1);
  }
  m_avgLongLength += length;
  m_avgLongLength -= m_avgLongLength >> 5;

  const Shape& shape = m_avgLongDistancePlace > 0x28FF  ? kPlaceShape2
                       : m_avgLongDistancePlace > 0x6FF ? kPlaceShape1
                                                        : kPlaceShape0;
  const uint32_t place = DecodeNumber(m_in, shape);
  m_avgLongDistancePlace += place;
  m_avgLongDistancePlace -= m_avgLongDistancePlace >> 8;
  const uint32_t entry = Promote(m_longDistances, m_longDistancePlaces, place & 0xFF, 0xFF);
  const uint32_t distance = ((entry & 0xFF00) | (m_in.Peek16() >> 8)) >> 1;
  m_in.Skip(7);

  const uint32_t oldAvgLength3 = m_avgLongLength3;
  if (length != 1 && length != 4) {
    if (length == 0 && distance <= m_maxDistance3) {
      ++m_avgLongLength3;
      m_avgLongLength3 -= m_avgLongLength3 >> 8;
    } else if (m_avgLongLength3 > 0) {
      --m_avgLongLength3;
    }
  }
  length += 3;
  if (distance >= m_maxDistance3) ++length;
  if (distance <= 256) length += 8;
  m_maxDistance3 =
      (oldAvgLength3 > 0xB0 || (m_avgLiteralPlace >= 0x2A00 && oldAvgLength < 0x40)) ? 0x7F00 : 0x2001;
  RememberMatch(distance, length);
  return writer.Copy(distance, length);
}

}  // namespace rar
