// Decoder of the RAR 2.0 method (unpack versions 20 and 26): LZ77 with
// canonical Huffman tables sent in the stream (literals and lengths,
// distances, repeated-distance lengths), or, in multimedia blocks, one table
// per audio channel coding the error of a linear predictor per byte.
//
// One object serves one opened archive, on one thread at a time. Tables,
// recent distances and predictor state stay in the object between entries
// so that a solid entry goes on where the previous one stopped; the bytes
// themselves live in the archive's shared window. Decode() blocks until the
// entry is done; errors come back as false plus a text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "update/rar/rar_bit_input.h"
#include "update/rar/rar_huffman.h"
#include "update/rar/rar_window.h"

namespace rar {

class RarEntryWriter;

class Rar20Decoder {
 public:
  Rar20Decoder();

  // Decodes one entry: `unpackedSize` bytes are appended to `out`. `solid`:
  // go on from the state the previous entry left (window contents, tables);
  // otherwise start fresh (the window's old bytes stay but are not referred
  // to). False with `error` set on damaged data, and `out` is then left as
  // it was; the state is then unfit for a following solid entry. Never reads
  // or writes out of bounds; the work is bounded by the packed size, since
  // every symbol consumes input and running past its end is an error.
  bool Decode(const uint8_t* packed, size_t packedSize, uint64_t unpackedSize, bool solid,
              RarWindow& window, std::string& out, std::string& error);

 private:
  static constexpr size_t kMainSymbols = 298;
  static constexpr size_t kDistanceSymbols = 48;
  static constexpr size_t kRepeatSymbols = 28;
  static constexpr size_t kAudioSymbols = 257;
  static constexpr size_t kMaxChannels = 4;
  static constexpr size_t kLevelSymbols = 19;
  static constexpr size_t kStoredLengths = kAudioSymbols * kMaxChannels;

  struct AudioChannel {
    int k[5] = {};
    int d[4] = {};
    int lastDelta = 0;
    uint32_t dif[11] = {};
    uint32_t byteCount = 0;
    int lastChar = 0;
  };

  void ResetState();
  bool ReadTables();
  void ReadTablesAtEnd();
  // Null on success, else the error text.
  const char* DecodeMatch(RarEntryWriter& writer, int symbol);
  uint8_t DecodeAudio(int delta);
  uint32_t ReadLength(int slot);
  const char* Copy(RarEntryWriter& writer, uint32_t distance, uint32_t length);

  RarBitInput m_in;

  RarHuffmanTable m_main;
  RarHuffmanTable m_distances;
  RarHuffmanTable m_repeats;
  RarHuffmanTable m_audio[kMaxChannels];
  bool m_tablesRead = false;
  bool m_audioBlock = false;
  uint32_t m_channels = 1;
  uint32_t m_channel = 0;
  int m_channelDelta = 0;
  AudioChannel m_audioState[kMaxChannels];
  // Code lengths of the last tables; a new table may be sent as changes.
  uint8_t m_oldLengths[kStoredLengths] = {};

  uint32_t m_oldDistances[4] = {};
  uint32_t m_oldDistancePos = 0;
  uint32_t m_lastDistance = 0;
  uint32_t m_lastLength = 0;

  uint64_t m_historyStart = 0;
};

}  // namespace rar
