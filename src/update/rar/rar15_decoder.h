// Decoder of the RAR 1.5 method (unpack version 15): an LZ77 stream whose
// literals, lengths and distances are coded with adaptive tables that move
// a symbol towards the short codes each time it is used, steered by flag
// bytes that say whether a literal or a match comes next.
//
// One object serves one opened archive, on one thread at a time. It keeps
// the adaptive tables and the recent distances between entries so that a
// solid entry goes on where the previous one stopped; the bytes themselves
// live in the archive's shared window. Decode() blocks until the entry is
// done; errors come back as false plus a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar_bit_input.h"
#include "update/rar/rar_window.h"

namespace rar {

class RarEntryWriter;

class Rar15Decoder {
 public:
  Rar15Decoder();

  // Decodes one entry: `unpackedSize` bytes are appended to `out`. `solid`:
  // go on from the state the previous entry left (window contents, tables);
  // otherwise start fresh (the window's old bytes stay but are not referred
  // to). False with `error` set on damaged data, and `out` is then left as
  // it was; the state is then unfit for a following solid entry. Never reads
  // or writes out of bounds; the work is bounded by the packed size, since
  // every step consumes input and running past its end is an error.
  bool Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
              RarWindow& window, std::string& out, std::string& error);

 private:
  void ResetState();
  void ResetTables();
  void ReadFlags();
  bool DecodeLiteral(RarEntryWriter& writer);
  bool DecodeShortMatch(RarEntryWriter& writer);
  bool DecodeLongMatch(RarEntryWriter& writer);
  void RememberMatch(uint32_t distance, uint32_t length);

  RarBitInput m_in;

  // Adaptive tables: the high byte of each entry is the value, the low byte
  // a use counter; the place lists say where each counter class begins.
  uint16_t m_literals[256];
  uint16_t m_shortDistances[256];
  uint16_t m_longDistances[256];
  uint16_t m_flagSets[256];
  uint8_t m_literalPlaces[256];
  uint8_t m_longDistancePlaces[256];
  uint8_t m_flagSetPlaces[256];

  // Running averages that pick among the fixed code shapes.
  uint32_t m_avgLiteralPlace = 0;
  uint32_t m_avgLongDistancePlace = 0;
  uint32_t m_avgShortLength = 0;
  uint32_t m_avgLongLength = 0;
  uint32_t m_avgLongLength3 = 0;
  uint32_t m_literalWeight = 0;
  uint32_t m_matchWeight = 0;
  uint32_t m_maxDistance3 = 0;
  uint32_t m_literalRun = 0;
  uint32_t m_shortLengthToggle = 0;

  // Per-entry state.
  uint32_t m_flags = 0;
  int m_flagsLeft = 0;
  bool m_literalMode = false;
  uint32_t m_repeatCount = 0;

  uint32_t m_oldDistances[4] = {};
  uint32_t m_oldDistancePos = 0;
  uint32_t m_lastDistance = 0;
  uint32_t m_lastLength = 0;

  uint64_t m_historyStart = 0;
};

}  // namespace rar
