#include "update/unpacker_thread.h"

#include <libdeflate.h>
#include <zlib.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <functional>
#include <mutex>
#include <system_error>
#include <thread>

#include "base/log_impl.h"
#include "base/user_messages.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "update/archive_helper_rar.h"
#include "update/client_path.h"
#include "update/file_read_stream.h"
#include "update/rar/rar_archive.h"
#include "update/zip_file.h"

namespace {

constexpr char kOpenFailed[] = "pkg/bin file can not be open";
constexpr char kRarEmpty[] = "pkg(rar) file error or empty :";
constexpr char kRarEntryFailed[] = "pkg(rar) unpack error :";
constexpr char kZipEmpty[] = "pkg file error or empty :";
constexpr char kZipEntryFailed[] = "pkg unpack error :";
constexpr const char* kCreateFailed = CPackageStore::kCreateFailed;
constexpr const char* kWriteFailed = CPackageStore::kWriteFailed;

// Reads, inflated blocks and writes are at most this large.
constexpr size_t kBlock = 1 << 20;
// Deflated entries that fit one block are inflated in one call; larger ones
// stream through zlib block by block.
constexpr uint64_t kWholeInflateLimit = kBlock;
// Files written in more than one block get their room at creation.
constexpr uint64_t kReserveFrom = kBlock;

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Quotes removed, "/" to "\", repeated "\" collapsed.
std::string NormaliseEntryName(const std::string& raw) {
  std::string name;
  for (char c : raw) {
    if (c == '"') continue;
    if (c == '/') c = '\\';
    if (c == '\\' && !name.empty() && name.back() == '\\') continue;
    name += c;
  }
  return name;
}

// Entries whose key appears twice: the package is unpacked in archive order
// on one thread, so that the later copy wins. Keys are compared by hash; a
// collision only costs the second thread.
bool HasRepeatedKeys(std::vector<uint64_t>& hashes) {
  std::sort(hashes.begin(), hashes.end());
  return std::adjacent_find(hashes.begin(), hashes.end()) != hashes.end();
}

// Programs keep their execute permission: ELF images and scripts.
bool LooksExecutable(const uint8_t* data, size_t size) {
  return (size >= 4 && std::memcmp(data, "\x7f" "ELF", 4) == 0) || (size >= 2 && data[0] == '#' && data[1] == '!');
}

}  // namespace

// What the workers of one package share: the folder resolver (its cache of
// listings is kept under the lock), the next entry to take and whether a
// worker has failed (the first failure alone is reported).
struct CUnpackerThread::Shared {
  explicit Shared(const std::string& clientFolder) : resolver(clientFolder) {}
  std::mutex lock;
  ClientPathResolver resolver;
  std::atomic<size_t> next{0};
  std::atomic<size_t> done{0};
  std::atomic<bool> failed{false};
};

// One worker's share of a package's extraction: on the unpacker thread, and
// for ZIP packages unpacked on two threads also on a helper thread.
class CUnpackerThread::Extraction {
 public:
  enum class Outcome { kOk, kFailed, kStopped };

  Extraction(CUnpackerThread& owner, const WorkItem& item, uint64_t size, uint64_t before, Shared& shared)
      : m_owner(owner), m_item(item), m_size(size), m_before(before), m_shared(shared) {}
  ~Extraction() {
    if (m_inflater) libdeflate_free_decompressor(m_inflater);
    if (m_streamReady) inflateEnd(&m_stream);
  }
  Extraction(const Extraction&) = delete;
  Extraction& operator=(const Extraction&) = delete;

  Outcome Zip();
  Outcome Rar();
  Outcome SingleFile();

 private:
  // The file being written: folders made, an old file replaced, opened on
  // the first bytes so that programs get their execute permission.
  struct Target {
    std::string path;
    platform::OutputFile file;
    uint64_t size = 0;  // the whole file's, for its room
    bool opened = false;
  };

  bool Stopping() const { return m_owner.IsStopping() || m_shared.failed.load(std::memory_order_relaxed); }
  Outcome Fail(int64_t result, const std::string& text, int code = 0) {
    if (!m_shared.failed.exchange(true)) m_owner.Fail(result, text, code);
    return Outcome::kFailed;
  }
  void Progress(size_t position, size_t count);
  // Checks and normalises an entry name; false when it is unsafe.
  bool EntryName(const std::string& raw, std::string& name, bool& isFolder);
  Outcome MakeFolder(const std::string& name);
  Outcome BeginFile(const std::string& name, Target& target);
  Outcome WriteFile(Target& target, const uint8_t* data, size_t size);
  Outcome EndFile(Target& target);
  // Takes entries of `zip` from the shared counter until none is left;
  // `reports` posts the progress; `poll` (optional) runs before each entry.
  Outcome ZipEntries(const CZipFile& zip, bool reports, const std::function<void()>& poll);
  Outcome ZipEntry(platform::InputFile& image, const CZipFile::Entry& entry, const std::string& name);
  // Inflates a deflated entry in blocks, handing each to `emit`.
  template <typename Emit>
  bool InflateStreamed(platform::InputFile& image, uint64_t dataOffset, const CZipFile::Entry& entry, Emit&& emit,
                       Outcome& outcome);
  // True when the package's entries may be unpacked on two threads (no
  // name twice, every name sound).
  bool MayShare(const CZipFile& zip) const;

  CUnpackerThread& m_owner;
  const WorkItem& m_item;
  uint64_t m_size;
  uint64_t m_before;
  Shared& m_shared;
  std::chrono::steady_clock::time_point m_lastPost = std::chrono::steady_clock::now();
  std::vector<uint8_t> m_in;
  std::vector<uint8_t> m_out;
  libdeflate_decompressor* m_inflater = nullptr;
  z_stream m_stream{};
  bool m_streamReady = false;
};

void CUnpackerThread::Extraction::Progress(size_t position, size_t count) {
  const auto now = std::chrono::steady_clock::now();
  if (count == 0 || now - m_lastPost <= kProgressInterval) return;
  m_lastPost = now;
  const double share = static_cast<double>(m_size) * static_cast<double>(position) / static_cast<double>(count);
  m_owner.Post(eWindowsMessage_UnpackProgress, static_cast<int64_t>(m_before + static_cast<uint64_t>(share)));
}

bool CUnpackerThread::Extraction::EntryName(const std::string& raw, std::string& name, bool& isFolder) {
  return client_path::Sanitize(NormaliseEntryName(raw), name, &isFolder);
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::MakeFolder(const std::string& name) {
  std::string full;
  int error = 0;
  {
    std::lock_guard<std::mutex> hold(m_shared.lock);
    if (m_shared.resolver.CreateFolders(name, full, error)) return Outcome::kOk;
  }
  return Fail(kUnpackWriteFailed,
              kCreateFailed + platform::JoinPath(m_owner.m_clientFolder, client_path::ToNative(name)),
              error ? error : ELOOP);
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::BeginFile(const std::string& name, Target& target) {
  const size_t slash = name.rfind('\\');
  if (slash != std::string::npos) {
    const Outcome folder = MakeFolder(name.substr(0, slash));
    if (folder != Outcome::kOk) return folder;
  }
  bool exists = false;
  ClientPathResolver::Status status;
  {
    std::lock_guard<std::mutex> hold(m_shared.lock);
    status = m_shared.resolver.Resolve(name, target.path, &exists);
  }
  if (status != ClientPathResolver::Status::kOk) {
    return Fail(kUnpackWriteFailed,
                kCreateFailed + platform::JoinPath(m_owner.m_clientFolder, client_path::ToNative(name)), ELOOP);
  }
  // A new file replaces the old one: whoever still has the old one open or
  // mapped keeps its bytes.
  if (exists) platform::RemoveFile(target.path);
  return Outcome::kOk;
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::WriteFile(Target& target, const uint8_t* data,
                                                                            size_t size) {
  if (!target.opened) {
    if (!target.file.Open(target.path, platform::OutputFile::Mode::kCreateNew, LooksExecutable(data, size)))
      return Fail(kUnpackWriteFailed, kCreateFailed + target.path, target.file.LastError());
    target.opened = true;
    if (target.size >= kReserveFrom) target.file.Reserve(target.size);
    std::lock_guard<std::mutex> hold(m_shared.lock);
    m_shared.resolver.NoteCreated(target.path, false);
  }
  if (size > 0 && !target.file.Write(data, size))
    return Fail(kUnpackWriteFailed, kWriteFailed + target.path, target.file.LastError());
  return Outcome::kOk;
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::EndFile(Target& target) {
  if (!target.opened) {
    const Outcome opened = WriteFile(target, nullptr, 0);
    if (opened != Outcome::kOk) return opened;
  }
  if (!target.file.Close()) return Fail(kUnpackWriteFailed, kWriteFailed + target.path, target.file.LastError());
  return Outcome::kOk;
}

template <typename Emit>
bool CUnpackerThread::Extraction::InflateStreamed(platform::InputFile& image, uint64_t dataOffset,
                                                  const CZipFile::Entry& entry, Emit&& emit, Outcome& outcome) {
  if (!m_streamReady) {
    if (inflateInit2(&m_stream, -MAX_WBITS) != Z_OK) return false;
    m_streamReady = true;
  } else if (inflateReset(&m_stream) != Z_OK) {
    return false;
  }
  m_in.resize(kBlock);
  m_out.resize(kBlock);
  m_stream.avail_in = 0;
  uint64_t consumed = 0;
  uint64_t produced = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END && produced < entry.size) {
    if (Stopping()) {
      outcome = Outcome::kStopped;
      return true;
    }
    if (m_stream.avail_in == 0 && consumed < entry.compressedSize) {
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kBlock, entry.compressedSize - consumed));
      if (!image.ReadAt(dataOffset + consumed, m_in.data(), chunk)) return false;
      consumed += chunk;
      m_stream.next_in = m_in.data();
      m_stream.avail_in = static_cast<uInt>(chunk);
    }
    const uint64_t room = std::min<uint64_t>(kBlock, entry.size - produced);
    m_stream.next_out = m_out.data();
    m_stream.avail_out = static_cast<uInt>(room);
    rc = inflate(&m_stream, Z_NO_FLUSH);
    const size_t got = static_cast<size_t>(room - m_stream.avail_out);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) return false;
    if (got == 0 && rc == Z_BUF_ERROR && m_stream.avail_in == 0 && consumed >= entry.compressedSize) return false;
    produced += got;
    if (got > 0 && (outcome = emit(m_out.data(), got)) != Outcome::kOk) return true;
  }
  return true;
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::ZipEntry(platform::InputFile& image,
                                                                           const CZipFile::Entry& entry,
                                                                           const std::string& name) {
  const std::string damaged = kZipEntryFailed + name;
  uint8_t local[30];
  if (!image.ReadAt(entry.localHeaderOffset, local, sizeof local) || Le32(local) != 0x04034b50)
    return Fail(kUnpackBadPackage, damaged);
  const uint64_t dataOffset = uint64_t{entry.localHeaderOffset} + sizeof local + Le16(local + 26) + Le16(local + 28);
  if (dataOffset > image.Size() || image.Size() - dataOffset < entry.compressedSize)
    return Fail(kUnpackBadPackage, damaged);
  if (entry.method != 0 && entry.method != 8) return Fail(kUnpackBadPackage, damaged);
  if (entry.method == 0 && entry.compressedSize != entry.size) return Fail(kUnpackBadPackage, damaged);

  Target target;
  target.size = entry.size;
  Outcome outcome = BeginFile(name, target);
  if (outcome != Outcome::kOk) return outcome;
  uint32_t crc = 0;
  uint64_t written = 0;
  const auto emit = [&](const uint8_t* data, size_t size) {
    crc = static_cast<uint32_t>(libdeflate_crc32(crc, data, size));
    written += size;
    return WriteFile(target, data, size);
  };

  if (entry.method == 0) {
    m_in.resize(kBlock);
    for (uint64_t at = 0; at < entry.size;) {
      if (Stopping()) return Outcome::kStopped;
      const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kBlock, entry.size - at));
      if (!image.ReadAt(dataOffset + at, m_in.data(), chunk)) return Fail(kUnpackBadPackage, damaged);
      if ((outcome = emit(m_in.data(), chunk)) != Outcome::kOk) return outcome;
      at += chunk;
    }
  } else if (entry.size <= kWholeInflateLimit && entry.compressedSize <= kWholeInflateLimit + 4096) {
    m_in.resize(std::max<size_t>(kBlock + 4096, 1));
    m_out.resize(kBlock);
    if (!image.ReadAt(dataOffset, m_in.data(), entry.compressedSize)) return Fail(kUnpackBadPackage, damaged);
    if (!m_inflater) m_inflater = libdeflate_alloc_decompressor();
    const libdeflate_result rc =
        m_inflater ? libdeflate_deflate_decompress(m_inflater, m_in.data(), entry.compressedSize, m_out.data(),
                                                   entry.size, nullptr)
                   : LIBDEFLATE_BAD_DATA;
    if (rc != LIBDEFLATE_SUCCESS) return Fail(kUnpackBadPackage, damaged);
    if ((outcome = emit(m_out.data(), entry.size)) != Outcome::kOk) return outcome;
  } else {
    if (!InflateStreamed(image, dataOffset, entry, emit, outcome)) return Fail(kUnpackBadPackage, damaged);
    if (outcome != Outcome::kOk) return outcome;
  }
  if (written != entry.size || crc != entry.crc32) return Fail(kUnpackBadPackage, damaged);
  return EndFile(target);
}

bool CUnpackerThread::Extraction::MayShare(const CZipFile& zip) const {
  const size_t count = static_cast<size_t>(zip.EntryCount());
  if (count < 2 || std::thread::hardware_concurrency() < 2) return false;
  std::vector<uint64_t> hashes;
  hashes.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    std::string name;
    bool isFolder = false;
    // A bad name is reported in archive order by one thread.
    if (!client_path::Sanitize(NormaliseEntryName(zip.EntryAt(static_cast<int>(i))->name), name, &isFolder))
      return false;
    hashes.push_back(std::hash<std::string>()(client_path::LowerKey(name)));
  }
  return !HasRepeatedKeys(hashes);
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::ZipEntries(const CZipFile& zip, bool reports,
                                                                             const std::function<void()>& poll) {
  platform::InputFile image;
  if (!image.Open(m_item.tempPath)) return Fail(kUnpackBadPackage, kZipEmpty + m_item.name);
  const size_t count = static_cast<size_t>(zip.EntryCount());
  for (;;) {
    if (Stopping()) return Outcome::kStopped;
    if (poll) poll();
    const size_t i = m_shared.next.fetch_add(1);
    if (i >= count) return Outcome::kOk;
    if (reports) Progress(m_shared.done.load(std::memory_order_relaxed) + 1, count);
    const CZipFile::Entry& entry = *zip.EntryAt(static_cast<int>(i));
    std::string name;
    bool isFolder = false;
    if (!EntryName(entry.name, name, isFolder)) return Fail(kUnpackBadPackage, kZipEntryFailed + entry.name);
    const Outcome outcome = isFolder ? MakeFolder(name) : ZipEntry(image, entry, name);
    if (outcome != Outcome::kOk) return outcome;
    m_shared.done.fetch_add(1, std::memory_order_relaxed);
  }
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::Zip() {
  // The index is read once; each worker reads the entries through a file of
  // its own.
  CFileReadStream stream;
  CZipFile zip;
  if (!stream.Open(m_item.tempPath) || zip.Open(&stream) != CZipFile::kOk || zip.EntryCount() == 0)
    return Fail(kUnpackBadPackage, kZipEmpty + m_item.name);
  m_lastPost = std::chrono::steady_clock::now();
  if (!MayShare(zip)) return ZipEntries(zip, true, nullptr);
  // The helper starts once everything is queued (the download no longer
  // needs a core), also when that happens while this package is unpacked.
  Outcome helperOutcome = Outcome::kOk;
  std::thread helper;
  bool tried = false;
  const auto poll = [&] {
    if (tried || !m_owner.AllQueued()) return;
    tried = true;
    try {
      helper = std::thread([&] {
        Extraction other(m_owner, m_item, m_size, m_before, m_shared);
        helperOutcome = other.ZipEntries(zip, false, nullptr);
      });
    } catch (const std::system_error&) {
      // One thread does it all.
    }
  };
  const Outcome outcome = ZipEntries(zip, true, poll);
  if (helper.joinable()) helper.join();
  if (outcome == Outcome::kFailed || helperOutcome == Outcome::kFailed) return Outcome::kFailed;
  if (outcome == Outcome::kStopped || helperOutcome == Outcome::kStopped) return Outcome::kStopped;
  return Outcome::kOk;
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::Rar() {
  platform::MappedFile image;
  if (!image.Open(m_item.tempPath)) return Fail(kUnpackBadPackage, kRarEmpty + m_item.name);
  // Entries are counted for the progress only where that needs no
  // decoding: in RAR 1.5-4.x archives that are not solid.
  size_t count = 0;
  {
    rar::RarArchive counter;
    if (counter.Open(image.Data(), image.Size()) && !counter.IsSolid())
      while (counter.Next()) ++count;
  }
  CArchiveHelperRar rar;
  if (!rar.Open(image.Data(), static_cast<size_t>(image.Size()))) return Fail(kUnpackBadPackage, kRarEmpty + m_item.name);
  m_lastPost = std::chrono::steady_clock::now();
  std::string bytes;
  size_t position = 0;
  for (bool more = rar.Next(); more; more = rar.Next()) {
    if (m_owner.IsStopping()) return Outcome::kStopped;
    Progress(++position, count);
    std::string name;
    bool isFolder = false;
    if (!EntryName(rar.Name(), name, isFolder)) return Fail(kUnpackBadPackage, kRarEntryFailed + rar.Name());
    if (rar.IsSymlink()) continue;  // links are never created
    if (isFolder || rar.IsDirectory()) {
      const Outcome outcome = MakeFolder(name);
      if (outcome != Outcome::kOk) return outcome;
      continue;
    }
    if (!rar.Extract(bytes)) return Fail(kUnpackBadPackage, kRarEntryFailed + rar.Name());
    Target target;
    Outcome outcome = BeginFile(name, target);
    if (outcome == Outcome::kOk)
      outcome = WriteFile(target, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    if (outcome == Outcome::kOk) outcome = EndFile(target);
    if (outcome != Outcome::kOk) return outcome;
  }
  if (position == 0) return Fail(kUnpackBadPackage, kRarEmpty + m_item.name);
  if (rar.Damaged()) return Fail(kUnpackBadPackage, kRarEntryFailed + m_item.name);
  return Outcome::kOk;
}

CUnpackerThread::Extraction::Outcome CUnpackerThread::Extraction::SingleFile() {
  std::string name;
  bool isFolder = false;
  if (!EntryName(m_item.target, name, isFolder) || isFolder)
    return Fail(kUnpackWriteFailed, kCreateFailed + m_item.target, EINVAL);
  platform::InputFile image;
  if (!image.Open(m_item.tempPath)) return Fail(kUnpackBadPackage, kOpenFailed, image.LastError());
  Target target;
  target.size = image.Size();
  Outcome outcome = BeginFile(name, target);
  m_in.resize(kBlock);
  for (uint64_t at = 0; outcome == Outcome::kOk && at < image.Size();) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(kBlock, image.Size() - at));
    if (!image.ReadAt(at, m_in.data(), chunk)) return Fail(kUnpackBadPackage, kOpenFailed, image.LastError());
    outcome = WriteFile(target, m_in.data(), chunk);
    at += chunk;
  }
  return outcome == Outcome::kOk ? EndFile(target) : outcome;
}

CUnpackerThread::CUnpackerThread() : CWorkerThread("UnpackerThread") {
  m_store.SetWriteFailureHandler([this](const std::string& text, int code) { Fail(kUnpackWriteFailed, text, code); });
}

CUnpackerThread::~CUnpackerThread() {
  RequestStop();
  stop(platform::kInfinite);
}

void CUnpackerThread::Configure(const std::string& clientFolder, platform::WindowHandle window, bool downloadMode) {
  platform::ScopedLock lock(m_lock);
  m_clientFolder = clientFolder;
  m_window = window;
  m_downloadMode = downloadMode;
}

void CUnpackerThread::ClearCounters() {
  {
    platform::ScopedLock lock(m_lock);
    m_bytesUnpacked = 0;
    m_errorText.clear();
    m_errorCode = 0;
    m_allQueued = false;
    m_stop = false;
    m_work.Reset();
  }
  m_store.SetAccepting(true);
}

void CUnpackerThread::QueuePackage(const std::string& tempPath, const std::string& name) {
  m_store.MarkComplete(tempPath);
  platform::ScopedLock lock(m_lock);
  m_queue.push_back(WorkItem{tempPath, name, std::string(), true});
  m_work.Set();
}

void CUnpackerThread::QueueSingleFile(const std::string& tempPath, const std::string& target) {
  m_store.MarkComplete(tempPath);
  platform::ScopedLock lock(m_lock);
  m_queue.push_back(WorkItem{tempPath, platform::FileNameOf(tempPath), target, false});
  m_work.Set();
}

void CUnpackerThread::SetAllQueued() {
  platform::ScopedLock lock(m_lock);
  m_allQueued = true;
  m_work.Set();
}

void CUnpackerThread::Signal() { m_work.Set(); }

void CUnpackerThread::Halt() {
  {
    platform::ScopedLock lock(m_lock);
    m_stop = true;
  }
  m_store.SetAccepting(false);
  m_store.Flush();
  m_work.Set();
}

void CUnpackerThread::RequestStop() { Halt(); }

bool CUnpackerThread::AllQueued() {
  platform::ScopedLock lock(m_lock);
  return m_allQueued;
}

std::string CUnpackerThread::ErrorText() {
  platform::ScopedLock lock(m_lock);
  return m_errorText;
}

int CUnpackerThread::ErrorCode() {
  platform::ScopedLock lock(m_lock);
  return m_errorCode;
}

uint64_t CUnpackerThread::BytesUnpacked() {
  platform::ScopedLock lock(m_lock);
  return m_bytesUnpacked;
}

void CUnpackerThread::Post(uint32_t message, int64_t value) { platform::PostMessage(m_window, message, 0, value); }

void CUnpackerThread::Fail(int64_t result, const std::string& text, int code) {
  {
    platform::ScopedLock lock(m_lock);
    m_errorText = text;
    m_errorCode = code;
  }
  if (log) log->WriteText(text);
  Post(eWindowsMessage_UnpackResult, result);
}

bool CUnpackerThread::UnpackOne(const WorkItem& item) {
  const uint64_t expected = m_store.MarkComplete(item.tempPath);
  uint64_t before = 0;
  {
    platform::ScopedLock lock(m_lock);
    before = m_bytesUnpacked;
  }
  const auto size = platform::FileSize(item.tempPath);
  if (!size || *size != expected) {
    Halt();
    Fail(kUnpackBadPackage, kOpenFailed, size ? 0 : ENOENT);
    return false;
  }
  Shared shared(m_clientFolder);
  Extraction extraction(*this, item, expected, before, shared);
  Extraction::Outcome outcome;
  if (!item.isArchive) {
    outcome = extraction.SingleFile();
  } else {
    char head[4] = {};
    platform::InputFile file;
    const bool rar = expected > 3 && file.Open(item.tempPath) && file.ReadAt(0, head, 4) && std::memcmp(head, "Rar!", 4) == 0;
    file.Close();
    outcome = rar ? extraction.Rar() : extraction.Zip();
  }
  if (outcome != Extraction::Outcome::kOk) return false;
  {
    platform::ScopedLock lock(m_lock);
    m_bytesUnpacked += expected;
    before = m_bytesUnpacked;
  }
  // Unpacked: the temporary copy is not needed to resume any more.
  platform::RemoveFile(item.tempPath);
  Post(eWindowsMessage_UnpackProgress, static_cast<int64_t>(before));
  return true;
}

void CUnpackerThread::Work() {
  for (;;) {
    m_work.Wait(platform::kInfinite);
    for (;;) {
      WorkItem item;
      {
        platform::ScopedLock lock(m_lock);
        if (m_stop || m_queue.empty()) break;
        item = m_queue.front();
      }
      if (!UnpackOne(item)) {
        // Reported (or stopped): the thread ends; the item is not tried again.
        platform::ScopedLock lock(m_lock);
        if (!m_queue.empty()) m_queue.pop_front();
        return;
      }
      {
        platform::ScopedLock lock(m_lock);
        if (!m_queue.empty()) m_queue.pop_front();
      }
      std::this_thread::yield();
    }
    platform::ScopedLock lock(m_lock);
    if (m_stop) return;
    if (!m_queue.empty()) continue;
    if (m_allQueued) {
      m_errorText.clear();
      m_errorCode = 0;
      m_allQueued = false;
      Post(eWindowsMessage_UnpackResult, kUnpackOk);
    } else {
      m_work.Reset();
    }
  }
}
