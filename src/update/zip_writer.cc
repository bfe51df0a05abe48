#include "update/zip_writer.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cstring>

namespace {

constexpr uint64_t kLimit = 0xFFFFFFFFull;
constexpr size_t kBlock = 1 << 20;
// Files up to this size are packed in one call; larger ones stream.
constexpr uint64_t kWholeLimit = 16u << 20;

void Put16(std::string& out, uint32_t value) {
  out += static_cast<char>(value & 0xFF);
  out += static_cast<char>((value >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}

std::string ZipName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return out;
}

// Raw deflate of a whole buffer; false when it does not get smaller.
bool DeflateWhole(std::string_view in, int level, std::string& out) {
  libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
  if (!compressor) return false;
  out.resize(libdeflate_deflate_compress_bound(compressor, in.size()));
  const size_t size = libdeflate_deflate_compress(compressor, in.data(), in.size(), out.data(), out.size());
  libdeflate_free_compressor(compressor);
  out.resize(size);
  return size > 0 && size < in.size();
}

}  // namespace

bool ZipWriter::Fail(const std::string& text) {
  m_error = text;
  return false;
}

bool ZipWriter::Open(const std::string& path) {
  m_entries.clear();
  m_offset = 0;
  m_error.clear();
  if (!m_file.Open(path, platform::OutputFile::Mode::kTruncate)) return Fail("cannot create " + path);
  return true;
}

bool ZipWriter::Put(const void* data, size_t size) {
  if (m_memory) {
    m_memory->append(static_cast<const char*>(data), size);
  } else if (!m_file.Write(data, size)) {
    return Fail("write failed");
  }
  m_offset += size;
  if (m_offset > kLimit) return Fail("archive over 4 GiB");
  return true;
}

bool ZipWriter::WriteLocal(Central& entry) {
  if (m_offset > kLimit) return Fail("archive over 4 GiB");
  entry.offset = static_cast<uint32_t>(m_offset);
  std::string header;
  Put32(header, 0x04034b50);
  Put16(header, 20);
  Put16(header, 0x0800);  // names are UTF-8
  Put16(header, entry.method);
  Put32(header, 0);  // time and date: fixed, so the same input gives the same bytes
  Put32(header, entry.crc);
  Put32(header, entry.compressedSize);
  Put32(header, entry.size);
  Put16(header, static_cast<uint32_t>(entry.name.size()));
  Put16(header, 0);
  header += entry.name;
  return Put(header.data(), header.size());
}

bool ZipWriter::PatchLocal(const Central& entry) {
  std::string fields;
  Put32(fields, entry.crc);
  Put32(fields, entry.compressedSize);
  Put32(fields, entry.size);
  if (m_memory) {
    std::memcpy(m_memory->data() + entry.offset + 14, fields.data(), fields.size());
    return true;
  }
  return m_file.WriteAt(entry.offset + 14, fields.data(), fields.size()) || Fail("write failed");
}

bool ZipWriter::AddFile(std::string_view name, std::string_view bytes) {
  if (bytes.size() > kLimit) return Fail("member over 4 GiB");
  Central entry;
  entry.name = ZipName(name);
  entry.crc = static_cast<uint32_t>(libdeflate_crc32(0, bytes.data(), bytes.size()));
  entry.size = static_cast<uint32_t>(bytes.size());
  std::string packed;
  const bool deflated = m_level > 0 && DeflateWhole(bytes, m_level, packed);
  entry.method = deflated ? 8 : 0;
  const std::string_view data = deflated ? std::string_view(packed) : bytes;
  entry.compressedSize = static_cast<uint32_t>(data.size());
  if (!WriteLocal(entry) || !Put(data.data(), data.size())) return false;
  m_entries.push_back(std::move(entry));
  return true;
}

bool ZipWriter::DeflateStream(platform::InputFile& in, Central& entry) {
  z_stream stream{};
  if (deflateInit2(&stream, m_level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    return Fail("deflate init failed");
  std::vector<uint8_t> input(kBlock), output(kBlock);
  uint32_t crc = 0;
  uint64_t size = 0, packed = 0;
  bool ok = true;
  for (int flush = Z_NO_FLUSH; ok && flush != Z_FINISH;) {
    const int64_t got = in.Read(input.data(), input.size());
    if (got < 0) {
      ok = Fail("read failed");
      break;
    }
    flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    crc = static_cast<uint32_t>(libdeflate_crc32(crc, input.data(), static_cast<size_t>(got)));
    size += static_cast<uint64_t>(got);
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(got);
    do {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      deflate(&stream, flush);
      const size_t produced = output.size() - stream.avail_out;
      packed += produced;
      if (produced > 0 && !Put(output.data(), produced)) ok = false;
    } while (ok && stream.avail_out == 0);
  }
  deflateEnd(&stream);
  if (!ok) return false;
  if (size > kLimit || packed > kLimit) return Fail("member over 4 GiB");
  entry.crc = crc;
  entry.size = static_cast<uint32_t>(size);
  entry.compressedSize = static_cast<uint32_t>(packed);
  return true;
}

bool ZipWriter::AddFileFromDisk(std::string_view name, const std::string& path) {
  platform::InputFile in;
  if (!in.Open(path)) return Fail("cannot read " + path);
  if (in.Size() <= kWholeLimit) {
    std::string bytes(static_cast<size_t>(in.Size()), '\0');
    if (!bytes.empty() && !in.ReadAt(0, bytes.data(), bytes.size())) return Fail("cannot read " + path);
    return AddFile(name, bytes);
  }
  Central entry;
  entry.name = ZipName(name);
  entry.method = m_level > 0 ? 8 : 0;
  if (!WriteLocal(entry)) return false;
  if (entry.method == 8) {
    if (!DeflateStream(in, entry)) return false;
  } else {
    std::vector<uint8_t> block(kBlock);
    uint64_t size = 0;
    for (;;) {
      const int64_t got = in.Read(block.data(), block.size());
      if (got < 0) return Fail("cannot read " + path);
      if (got == 0) break;
      entry.crc = static_cast<uint32_t>(libdeflate_crc32(entry.crc, block.data(), static_cast<size_t>(got)));
      size += static_cast<uint64_t>(got);
      if (!Put(block.data(), static_cast<size_t>(got))) return false;
    }
    if (size > kLimit) return Fail("member over 4 GiB");
    entry.size = entry.compressedSize = static_cast<uint32_t>(size);
  }
  if (!PatchLocal(entry)) return false;
  m_entries.push_back(std::move(entry));
  return true;
}

bool ZipWriter::AddDirectory(std::string_view name) {
  Central entry;
  entry.name = ZipName(name);
  if (entry.name.empty() || entry.name.back() != '/') entry.name += '/';
  entry.directory = true;
  if (!WriteLocal(entry)) return false;
  m_entries.push_back(std::move(entry));
  return true;
}

bool ZipWriter::Finish() {
  const uint64_t start = m_offset;
  std::string directory;
  for (const Central& entry : m_entries) {
    Put32(directory, 0x02014b50);
    Put16(directory, 0x0314);  // made by: Unix, 2.0
    Put16(directory, 20);
    Put16(directory, 0x0800);
    Put16(directory, entry.method);
    Put32(directory, 0);
    Put32(directory, entry.crc);
    Put32(directory, entry.compressedSize);
    Put32(directory, entry.size);
    Put16(directory, static_cast<uint32_t>(entry.name.size()));
    Put32(directory, 0);  // extra and comment lengths
    Put32(directory, 0);  // disk number and internal attributes
    Put32(directory, entry.directory ? (040755u << 16) | 0x10 : (0100644u << 16));
    Put32(directory, entry.offset);
    directory += entry.name;
  }
  if (m_entries.size() > 0xFFFF) return Fail("too many members");
  std::string end;
  Put32(end, 0x06054b50);
  Put32(end, 0);
  Put16(end, static_cast<uint32_t>(m_entries.size()));
  Put16(end, static_cast<uint32_t>(m_entries.size()));
  Put32(end, static_cast<uint32_t>(directory.size()));
  Put32(end, static_cast<uint32_t>(start));
  Put16(end, 0);
  if (!Put(directory.data(), directory.size()) || !Put(end.data(), end.size())) return false;
  return m_memory || m_file.Close() || Fail("close failed");
}

std::string ZipWriter::InMemory(const std::vector<std::pair<std::string, std::string>>& entries, int level) {
  ZipWriter writer(level);
  std::string bytes;
  writer.m_memory = &bytes;
  bool ok = true;
  for (const auto& [name, data] : entries) {
    ok = ok && ((!name.empty() && (name.back() == '/' || name.back() == '\\')) ? writer.AddDirectory(name)
                                                                               : writer.AddFile(name, data));
  }
  if (!ok || !writer.Finish()) bytes.clear();
  return bytes;
}
