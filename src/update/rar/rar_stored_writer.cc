#include "update/rar/rar_stored_writer.h"

#include <zlib.h>

namespace rar {
namespace {

constexpr uint8_t kMainHeader = 0x73;
constexpr uint8_t kFileHeader = 0x74;
constexpr uint8_t kEndHeader = 0x7B;

constexpr uint16_t kFlagLongBlock = 0x8000;   // a data size follows the header
constexpr uint16_t kFlagLargeSizes = 0x0100;  // high 32 bits of both sizes present
constexpr uint16_t kFlagUnicodeName = 0x0200;
constexpr uint16_t kFlagDirectory = 0x00E0;
constexpr uint16_t kFlagSkipIfUnknown = 0x4000;

constexpr uint8_t kHostWin32 = 2;
constexpr uint8_t kUnpackVersion = 20;
constexpr uint8_t kMethodStore = 0x30;
constexpr uint32_t kAttributeDirectory = 0x10;
constexpr uint32_t kAttributeArchive = 0x20;
// 2024-01-01 00:00:00 as a DOS date and time.
constexpr uint32_t kFixedDosTime = ((2024u - 1980u) << 25) | (1u << 21) | (1u << 16);

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}

void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

bool IsAscii(std::string_view text) {
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

uint32_t Crc32(std::string_view bytes) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes at most 4 GiB - 1 per call.
  while (!bytes.empty()) {
    const size_t chunk = bytes.size() < 0x40000000u ? bytes.size() : 0x40000000u;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(chunk));
    bytes.remove_prefix(chunk);
  }
  return static_cast<uint32_t>(crc);
}

}  // namespace

RarStoredWriter::RarStoredWriter() {
  m_archive.assign("Rar!\x1A\x07\x00", 7);
  std::string main;
  main += static_cast<char>(kMainHeader);
  Put16(main, 0);   // flags
  Put16(main, 13);  // header size
  Put16(main, 0);   // reserved
  Put32(main, 0);   // reserved
  AppendHeader(main);
}

uint16_t RarStoredWriter::HeaderCrc(std::string_view headerFromType) {
  return static_cast<uint16_t>(Crc32(headerFromType) & 0xFFFF);
}

void RarStoredWriter::AppendHeader(std::string_view headerFromType) {
  Put16(m_archive, HeaderCrc(headerFromType));
  m_archive.append(headerFromType);
}

bool RarStoredWriter::AddFile(std::string_view name, std::string_view bytes) {
  return AddEntry(name, bytes, false);
}

bool RarStoredWriter::AddDirectory(std::string_view name) { return AddEntry(name, std::string_view(), true); }

bool RarStoredWriter::AddEntry(std::string_view name, std::string_view bytes, bool directory) {
  if (m_finished || name.empty() || name.size() > kMaxNameLength) return false;
  const uint64_t size = bytes.size();
  const bool large = size > 0xFFFFFFFFull;
  uint16_t flags = kFlagLongBlock;
  if (directory) flags |= kFlagDirectory;
  if (large) flags |= kFlagLargeSizes;
  if (!IsAscii(name)) flags |= kFlagUnicodeName;
  const size_t headerSize = 32 + (large ? 8 : 0) + name.size();

  std::string header;
  header += static_cast<char>(kFileHeader);
  Put16(header, flags);
  Put16(header, static_cast<uint32_t>(headerSize));
  Put32(header, static_cast<uint32_t>(size));  // packed size: stored
  Put32(header, static_cast<uint32_t>(size));  // unpacked size
  header += static_cast<char>(kHostWin32);
  Put32(header, Crc32(bytes));
  Put32(header, kFixedDosTime);
  header += static_cast<char>(kUnpackVersion);
  header += static_cast<char>(kMethodStore);
  Put16(header, static_cast<uint32_t>(name.size()));
  Put32(header, directory ? kAttributeDirectory : kAttributeArchive);
  if (large) {
    Put32(header, static_cast<uint32_t>(size >> 32));
    Put32(header, static_cast<uint32_t>(size >> 32));
  }
  header.append(name);
  AppendHeader(header);
  if (!bytes.empty()) m_archive.append(bytes.data(), bytes.size());
  return true;
}

const std::string& RarStoredWriter::Finish() {
  if (!m_finished) {
    std::string end;
    end += static_cast<char>(kEndHeader);
    Put16(end, kFlagSkipIfUnknown);
    Put16(end, 7);
    AppendHeader(end);
    m_finished = true;
  }
  return m_archive;
}

}  // namespace rar
