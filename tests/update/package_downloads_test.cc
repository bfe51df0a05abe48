// The package downloads on their own: a recording host, a real downloader
// on the local product server, a real unpacker and store in a sandbox.
#include "update/package_downloads.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "base/user_messages.h"
#include "net/net_harness.h"
#include "support/local_server.h"
#include "support/platform_sandbox.h"
#include "update/package_temp_path.h"
#include "update/unpacker_thread.h"
#include "update/zip_writer.h"
#include "update_test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;
using update_test::Crc;

class RecordingHost : public IPackageDownloadsHost {
 public:
  explicit RecordingHost(CDownloader& downloader) : m_downloader(downloader) {}
  CUnpackerThread* Unpacker() override { return unpacker; }
  void DownloadPackage(const std::string& target, uint64_t firstByte, uint64_t length,
                       std::shared_ptr<IDownloadSink> sink) override {
    requests.push_back(target + "@" + std::to_string(firstByte) + "+" + std::to_string(length));
    m_downloader.DownloadUpdate(target, firstByte, length, std::move(sink));
  }
  void ShowDownloadProgress(const DownloadFigures& figures) override { last = figures; }
  int32_t DownloadAttempts() override { return 0; }
  void PackagePartArrived() override { ++partsArrived; }
  void UnexpectedPackageAnswer(const std::string& packageName) override { unexpected.push_back(packageName); }
  void ShowDownloadAttempt(int32_t) override {}
  void ShowCorruptPackage() override { ++corruptPages; }
  void LauncherFileReceived(const DownloadTask& task, const std::string& tempPath) override {
    launchersReceived.push_back(task.name + "@" + tempPath);
  }

  CUnpackerThread* unpacker = nullptr;
  std::vector<std::string> launchersReceived;
  std::vector<std::string> requests;
  DownloadFigures last;
  int partsArrived = 0;
  int corruptPages = 0;
  std::vector<std::string> unexpected;

 private:
  CDownloader& m_downloader;
};

class PackageDownloadsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_client = m_sandbox.dir() / "client";
    fs::create_directories(m_client);
    ASSERT_TRUE(m_net.ok());
    m_net.onMessage = [this](const platform::Message& m) {
      if (m.message == eWindowsMessage_UnpackResult) unpackResult = m.lParam;
    };
    m_net.notify().onPart = [this](const DownloadPart& part, bool endedEarly) {
      m_downloads.filePartReceived(part, endedEarly);
    };
    m_net.notify().onProgress = [this](uint64_t bytes, bool streaming) { m_downloads.updateProgress(bytes, streaming); };
    m_unpacker.Configure(m_client.string(), m_net.window(), false);
    ASSERT_TRUE(m_unpacker.start());
    m_host.unpacker = &m_unpacker;
    m_downloads.Configure({m_client.string(), "/upd/", false});
  }
  void TearDown() override {
    m_unpacker.RequestStop();
    m_unpacker.stop(platform::kInfinite);
  }

  // A package with one file `name` holding `bytes`, published on the server.
  DownloadTask Publish(const std::string& package, const std::string& name, const std::string& bytes) {
    const std::string image = ZipWriter::InMemory({{name, bytes}}, 0);
    WriteFileBytes(m_content / "upd" / package, image);
    m_images[package] = image;
    DownloadTask task;
    task.name = package;
    task.crc = Crc(image);
    task.size = static_cast<int64_t>(image.size());
    return task;
  }
  std::string TempPath(const DownloadTask& task) const {
    return PackageTempPath(m_client.string(), task.crc, static_cast<uint64_t>(task.size));
  }
  void Queue(const std::vector<DownloadTask>& tasks) {
    for (const DownloadTask& task : tasks) {
      m_downloads.Queue().push_back(task);
      m_downloads.BytesToDownloadSlot() += static_cast<uint64_t>(task.size);
    }
  }
  void Serve(const std::vector<std::string>& args = {}) {
    m_server = std::make_unique<testing_support::LocalServer>(m_content, args);
    ASSERT_TRUE(m_server->ok()) << m_server->error();
    ASSERT_TRUE(m_net.downloader().SetBaseURL(m_server->BaseUrl()));
  }

  testing_support::PlatformSandbox m_sandbox;
  fs::path m_client;
  fs::path m_content = m_sandbox.dir() / "content";
  std::map<std::string, std::string> m_images;
  int64_t unpackResult = -1;
  // The server goes after the transport has closed its connections.
  std::unique_ptr<testing_support::LocalServer> m_server;
  net_testing::NetHarness m_net;
  RecordingHost m_host{m_net.downloader()};
  CPackageDownloads m_downloads{m_host};
  CUnpackerThread m_unpacker;
};

std::string Text(size_t size, char seed) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(seed + (i * 31) % 61);
  return text;
}

TEST_F(PackageDownloadsTest, EachPackageResumesFromWhatItsTemporaryFileHolds) {
  const DownloadTask half = Publish("half.pkg", "half.txt", Text(40000, 'a'));
  const DownloadTask wrong = Publish("wrong.pkg", "wrong.txt", Text(30000, 'b'));
  const DownloadTask whole = Publish("whole.pkg", "whole.txt", Text(20000, 'c'));
  const DownloadTask longer = Publish("longer.pkg", "longer.txt", Text(10000, 'd'));
  const size_t halfOnDisk = static_cast<size_t>(half.size / 2);
  WriteFileBytes(TempPath(half), m_images["half.pkg"].substr(0, halfOnDisk));
  std::string damaged = m_images["wrong.pkg"];
  damaged[100] ^= 1;
  WriteFileBytes(TempPath(wrong), damaged);
  WriteFileBytes(TempPath(whole), m_images["whole.pkg"]);
  WriteFileBytes(TempPath(longer), m_images["longer.pkg"] + "tail");
  Serve();
  Queue({half, wrong, whole, longer});

  EXPECT_TRUE(m_downloads.BuildDownloadList());  // the whole one went to the unpacker at once
  ASSERT_EQ(m_downloads.Pending().size(), 3u);
  EXPECT_EQ(m_downloads.BytesDownloaded(), halfOnDisk + static_cast<uint64_t>(whole.size));
  EXPECT_FALSE(fs::exists(TempPath(wrong)));
  EXPECT_FALSE(fs::exists(TempPath(longer)));
  ASSERT_TRUE(m_downloads.StartNextDownload());
  ASSERT_TRUE(m_net.WaitFor([&] { return unpackResult >= 0; })) << ::testing::PrintToString(m_host.requests);

  EXPECT_EQ(unpackResult, CUnpackerThread::kUnpackOk) << m_unpacker.ErrorText();
  EXPECT_EQ(m_host.requests,
            (std::vector<std::string>{"/upd/half.pkg@" + std::to_string(halfOnDisk) + "+" +
                                          std::to_string(half.size - static_cast<int64_t>(halfOnDisk)),
                                      "/upd/wrong.pkg@0+" + std::to_string(wrong.size),
                                      "/upd/longer.pkg@0+" + std::to_string(longer.size)}));
  for (const char* file : {"half.txt", "wrong.txt", "whole.txt", "longer.txt"}) {
    EXPECT_TRUE(fs::exists(m_client / file)) << file;
  }
  EXPECT_EQ(ReadFileBytes(m_client / "half.txt"), Text(40000, 'a'));
  EXPECT_EQ(m_downloads.BytesDownloaded(), m_downloads.BytesToDownload());
  EXPECT_TRUE(m_downloads.Pending().empty());
  EXPECT_GT(m_host.partsArrived, 0);
}

TEST_F(PackageDownloadsTest, ACorruptPackageIsFetchedAgainAndTakesBackOnlyItsOwnBytes) {
  const DownloadTask first = Publish("first.pkg", "first.txt", Text(30000, 'e'));
  const DownloadTask second = Publish("second.pkg", "second.txt", Text(30000, 'f'));
  Serve({"--fault", "path=/upd/second.pkg,corrupt=200:4,times=1"});
  Queue({first, second});
  EXPECT_FALSE(m_downloads.BuildDownloadList());
  ASSERT_TRUE(m_downloads.StartNextDownload());
  ASSERT_TRUE(m_net.WaitFor([&] { return m_host.corruptPages == 1; }));

  // The damaged file is gone, the package waits at the end of the list for
  // the Retry, and the count keeps only the first package.
  EXPECT_FALSE(fs::exists(TempPath(second)));
  ASSERT_EQ(m_downloads.Pending().size(), 1u);
  EXPECT_EQ(m_downloads.Pending().front().firstByte, 0);
  EXPECT_EQ(m_downloads.BytesDownloaded(), static_cast<uint64_t>(first.size));
  EXPECT_EQ(m_downloads.DownloadBaseline(), static_cast<uint64_t>(first.size));

  ASSERT_TRUE(m_downloads.StartNextDownload());
  ASSERT_TRUE(m_net.WaitFor([&] { return unpackResult >= 0; }));
  EXPECT_EQ(unpackResult, CUnpackerThread::kUnpackOk) << m_unpacker.ErrorText();
  EXPECT_EQ(ReadFileBytes(m_client / "second.txt"), Text(30000, 'f'));
  EXPECT_EQ(m_host.corruptPages, 1);
  EXPECT_FALSE(m_host.last.downloading);
}

TEST_F(PackageDownloadsTest, AnAnswerWithoutBytesGoesToTheFailover) {
  const DownloadTask task = Publish("a.pkg", "a.txt", "a");
  Queue({task});
  ASSERT_FALSE(m_downloads.BuildDownloadList());
  m_downloads.filePartReceived(DownloadPart{}, false);
  EXPECT_EQ(m_host.unexpected, (std::vector<std::string>{"a.pkg"}));
  EXPECT_EQ(m_downloads.CurrentPackageName(), "a.pkg");
}

}  // namespace
