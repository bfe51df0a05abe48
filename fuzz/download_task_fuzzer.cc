// Fuzz target for the task records a game sends to the "/download" service:
// each record is the announcement's byte length and the bytes the requester
// really writes to the task pipe, which may disagree with it. Every record
// goes through the service over a real pipe whose writing end is closed
// once everything is written, so a short text fails at once instead of
// waiting for more.
//
// Input: records of [declared length: 2 bytes LE, 0xFFFF for 2^40]
// [written length: 2 bytes LE][written bytes].
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "app/download_service.h"
#include "platform/named_pipe.h"
#include "scratch_runtime_folder.h"

namespace {

constexpr platform::WindowHandle kRequester = 4242;
constexpr size_t kMaxTaskText = 2048;

class Host : public IDownloadServiceHost {
 public:
  bool Leaving() override { return ended; }
  void EndRun() override { ended = true; }
  void ShowWaitingForTask() override {}
  bool StartTask() override {
    started = true;
    return true;
  }
  bool ended = false;
  bool started = false;
};

struct Record {
  int64_t declared = 0;
  std::string written;
};

std::vector<Record> ReadRecords(const uint8_t* data, size_t size) {
  std::vector<Record> records;
  size_t at = 0;
  while (size - at >= 4) {
    Record record;
    const unsigned declared = data[at] | (data[at + 1] << 8);
    const size_t written = data[at + 2] | (data[at + 3] << 8);
    at += 4;
    record.declared = declared == 0xFFFF ? int64_t{1} << 40 : declared;
    const size_t take = written < size - at ? written : size - at;
    record.written.assign(reinterpret_cast<const char*>(data + at), take);
    at += take;
    records.push_back(std::move(record));
  }
  return records;
}

// Names the service keeps are whole, non-empty and free of separators.
void CheckTask(const std::set<std::string>& packages) {
  size_t bytes = 0;
  for (const std::string& name : packages) {
    if (name.empty() || name.find('|') != std::string::npos || name.find('\0') != std::string::npos) abort();
    bytes += name.size();
  }
  if (bytes > kMaxTaskText) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  UseScratchRuntimeFolder();
  const std::vector<Record> records = ReadRecords(data, size);
  std::unique_ptr<platform::PipeServer> server = platform::PipeServer::Create("launcher_" + std::to_string(kRequester));
  if (!server) abort();
  Host host;
  CDownloadService service(host);
  service.SetWindows(kRequester, 0);
  if (!service.ConnectTaskPipe()) abort();
  {
    std::unique_ptr<platform::PipeConnection> requester = server->Accept(1000);
    if (!requester) abort();
    for (const Record& record : records) {
      if (!record.written.empty() && !requester->Write(record.written.data(), record.written.size(), 1000)) abort();
    }
  }
  uint64_t id = 1;
  for (const Record& record : records) {
    service.OnDownloadTask(id++, record.declared);
    while (host.started) {
      host.started = false;
      const std::set<std::string>* packages = service.TaskPackages();
      if (!packages) abort();
      CheckTask(*packages);
      service.OnTaskComplete();
      service.OnDownloadTask(0, 0);
    }
  }
  service.StopTaskPipe();
  return 0;
}
