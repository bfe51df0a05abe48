// The product server, driven over real HTTP(S) with libcurl.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <zlib.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "support/local_server.h"
#include "support/run_process.h"
#include "support/temp_dir.h"

namespace {

using testing_support::LocalServer;
using testing_support::LoggedRequest;
using testing_support::TempDir;
using testing_support::WriteFileBytes;

struct Answer {
  CURLcode code = CURLE_OK;
  long status = 0;
  std::string headers;  // raw header block(s)
  std::string body;

  // Value of the last header `name` (case-insensitive), "" when absent.
  std::string Header(const std::string& name) const {
    std::string found;
    size_t start = 0;
    while (start < headers.size()) {
      size_t end = headers.find("\r\n", start);
      if (end == std::string::npos) end = headers.size();
      std::string line = headers.substr(start, end - start);
      if (line.size() > name.size() && line[name.size()] == ':' &&
          strncasecmp(line.c_str(), name.c_str(), name.size()) == 0) {
        found = line.substr(name.size() + 1);
        found.erase(0, found.find_first_not_of(' '));
      }
      start = end + 2;
    }
    return found;
  }
};

struct Request {
  std::string method = "GET";
  std::vector<std::string> headers;
  std::string acceptEncoding;  // non-empty: curl asks for it and decodes
  std::string caFile;          // certificate to trust for https
  bool pathAsIs = false;       // send "/../" as written
};

size_t Collect(char* data, size_t size, size_t count, void* target) {
  static_cast<std::string*>(target)->append(data, size * count);
  return size * count;
}

Answer Fetch(const std::string& url, const Request& request = {}) {
  Answer answer;
  CURL* curl = curl_easy_init();
  curl_slist* headers = nullptr;
  for (const std::string& header : request.headers) headers = curl_slist_append(headers, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_NOPROXY, "*");
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
  curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, Collect);
  curl_easy_setopt(curl, CURLOPT_HEADERDATA, &answer.headers);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  if (request.method == "HEAD") curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
  if (!request.acceptEncoding.empty()) {
    curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, request.acceptEncoding.c_str());
  }
  if (!request.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, request.caFile.c_str());
  if (request.pathAsIs) curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  answer.code = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return answer;
}

// A 1000-byte package with no repeating runs, a text and an empty file.
class ProductServerTest : public testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 1000; ++i) m_package += static_cast<char>((i * 7 + i / 251) % 256);
    for (int i = 0; i < 200; ++i) m_text += "licence line " + std::to_string(i) + "\n";
    WriteFileBytes(m_folder / "upd/a.pkg", m_package);
    WriteFileBytes(m_folder / "client/license", m_text);
    WriteFileBytes(m_folder / "empty.bin", "");
  }

  std::string PackageBytes(size_t first, size_t last) const {
    return m_package.substr(first, last - first + 1);
  }

  TempDir m_folder;
  std::string m_package;
  std::string m_text;
};

TEST_F(ProductServerTest, AnswersByteRangesAndLogsThem) {
  struct Case {
    std::string range;
    long status;
    size_t first, last;        // expected bytes (for 200 and 206)
    std::string contentRange;  // expected Content-Range, "" for none
  };
  const std::vector<Case> cases = {
      {"", 200, 0, 999, ""},
      {"bytes=0-99", 206, 0, 99, "bytes 0-99/1000"},
      {"bytes=999-999", 206, 999, 999, "bytes 999-999/1000"},
      {"bytes=900-", 206, 900, 999, "bytes 900-999/1000"},
      {"bytes=-100", 206, 900, 999, "bytes 900-999/1000"},
      {"bytes=990-5000", 206, 990, 999, "bytes 990-999/1000"},  // end clipped
      {"bytes=-5000", 206, 0, 999, "bytes 0-999/1000"},          // suffix longer than the file
      {"bytes=1000-", 416, 0, 0, "bytes */1000"},
      {"bytes=1000-1100,2000-", 416, 0, 0, "bytes */1000"},
      {"bytes=-0", 416, 0, 0, "bytes */1000"},
      {"bytes=5-2", 416, 0, 0, ""},  // malformed: refused by the HTTP library itself
  };
  LocalServer server(m_folder.path());
  ASSERT_TRUE(server.ok()) << server.error();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.range);
    Request request;
    if (!c.range.empty()) request.headers.push_back("Range: " + c.range);
    Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg", request);
    ASSERT_EQ(answer.code, CURLE_OK);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.Header("Content-Range"), c.contentRange);
    if (c.status != 416) {
      EXPECT_EQ(answer.body, PackageBytes(c.first, c.last));
      EXPECT_EQ(answer.Header("Content-Length"), std::to_string(c.last - c.first + 1));
      EXPECT_EQ(answer.Header("Accept-Ranges"), "bytes");
    }
  }
  // Every request is one log line: method, target, Range, status.
  std::vector<LoggedRequest> logged = server.Requests();
  ASSERT_EQ(logged.size(), cases.size());
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(logged[i].method, "GET");
    EXPECT_EQ(logged[i].target, "/upd/a.pkg");
    EXPECT_EQ(logged[i].range, cases[i].range);
    EXPECT_EQ(logged[i].status, cases[i].status);
  }

  Answer empty = Fetch(server.BaseUrl() + "/empty.bin", {.headers = {"Range: bytes=0-"}});
  EXPECT_EQ(empty.status, 416);
  EXPECT_EQ(empty.Header("Content-Range"), "bytes */0");
  empty = Fetch(server.BaseUrl() + "/empty.bin");
  EXPECT_EQ(empty.status, 200);
  EXPECT_EQ(empty.Header("Content-Length"), "0");
}

TEST_F(ProductServerTest, SeveralRangesComeAsMultipartByteranges) {
  LocalServer server(m_folder.path());
  ASSERT_TRUE(server.ok()) << server.error();
  Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg", {.headers = {"Range: bytes=0-9, 500-509,-5"}});
  ASSERT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.status, 206);
  std::string type = answer.Header("Content-Type");
  const std::string prefix = "multipart/byteranges; boundary=";
  ASSERT_EQ(type.compare(0, prefix.size(), prefix), 0) << type;
  const std::string boundary = type.substr(prefix.size());

  std::string expected;
  for (auto [first, last] : {std::pair<size_t, size_t>{0, 9}, {500, 509}, {995, 999}}) {
    expected += "--" + boundary + "\r\nContent-Type: application/octet-stream\r\n" +
                "Content-Range: bytes " + std::to_string(first) + "-" + std::to_string(last) +
                "/1000\r\n\r\n" + PackageBytes(first, last) + "\r\n";
  }
  expected += "--" + boundary + "--\r\n";
  EXPECT_EQ(answer.body, expected);
  EXPECT_EQ(answer.Header("Content-Length"), std::to_string(expected.size()));
}

TEST_F(ProductServerTest, HeadValidatorsAndPaths) {
  LocalServer server(m_folder.path());
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string url = server.BaseUrl() + "/upd/a.pkg";

  Answer head = Fetch(url, {.method = "HEAD"});
  ASSERT_EQ(head.code, CURLE_OK);
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.Header("Content-Length"), "1000");
  EXPECT_TRUE(head.body.empty());
  const std::string etag = head.Header("ETag");
  const std::string lastModified = head.Header("Last-Modified");
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(lastModified.size(), 29u) << lastModified;  // "Thu, 01 Jan 2026 00:00:00 GMT"
  // Range is defined for GET only.
  EXPECT_EQ(Fetch(url, {.method = "HEAD", .headers = {"Range: bytes=0-9"}}).status, 200);

  struct Case {
    std::string header;
    long status;
  };
  const std::vector<Case> conditional = {
      {"If-None-Match: " + etag, 304},
      {"If-None-Match: \"other\"", 200},
      {"If-Modified-Since: " + lastModified, 304},
      {"If-Modified-Since: Thu, 01 Jan 1970 00:00:00 GMT", 200},
  };
  for (const Case& c : conditional) {
    SCOPED_TRACE(c.header);
    Answer answer = Fetch(url, {.headers = {c.header}});
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body.size(), c.status == 304 ? 0u : 1000u);
  }
  // If-Range: the range counts only while the validator matches.
  Answer same = Fetch(url, {.headers = {"Range: bytes=0-9", "If-Range: " + etag}});
  EXPECT_EQ(same.status, 206);
  EXPECT_EQ(same.body, PackageBytes(0, 9));
  Answer changed = Fetch(url, {.headers = {"Range: bytes=0-9", "If-Range: \"older\""}});
  EXPECT_EQ(changed.status, 200);
  EXPECT_EQ(changed.body, m_package);

  struct PathCase {
    std::string path;
    long status;
  };
  const std::vector<PathCase> paths = {
      {"//upd//./a.pkg", 200},   // doubled slashes as a joined update path makes them
      {"/upd/missing.pkg", 404},
      {"/upd/", 404},            // folders are not listed
      {"/upd/../upd/a.pkg", 400},
      {"/%2e%2e/etc/passwd", 400},
  };
  for (const PathCase& c : paths) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(Fetch(server.BaseUrl() + c.path, {.pathAsIs = true}).status, c.status);
  }
}

TEST_F(ProductServerTest, RedirectsAnswerWithLocation) {
  LocalServer server(m_folder.path(), {"--redirect", "prefix=/old/,to=/upd/,status=301",
                                       "--redirect", "path=/one,to=/two,status=302",
                                       "--redirect", "prefix=/away/,to=http://127.0.0.1:9/x/"});
  ASSERT_TRUE(server.ok()) << server.error();
  struct Case {
    std::string target;
    long status;
    std::string location;
  };
  const std::vector<Case> cases = {
      {"/old/a.pkg?clientVersion", 301, "/upd/a.pkg?clientVersion"},
      {"/one", 302, "/two"},
      {"/one/more", 404, ""},  // path= matches that path only
      {"/away/b/c.pkg", 302, "http://127.0.0.1:9/x/b/c.pkg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    Answer answer = Fetch(server.BaseUrl() + c.target);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.Header("Location"), c.location);
  }
}

TEST_F(ProductServerTest, MaintenanceAnswersCarryThePage) {
  const std::string page =
      "<html><body><div id=\"en\"><p class=\"title\">Down</p></div></body></html>";
  WriteFileBytes(m_folder / "pages/503.html", page);
  const std::string pagePath = (m_folder / "pages/503.html").string();
  LocalServer server(m_folder.path(),
                     {"--maintenance", "prefix=/upd/,status=503,body=" + pagePath});
  ASSERT_TRUE(server.ok()) << server.error();

  Answer down = Fetch(server.BaseUrl() + "/upd/a.pkg", {.headers = {"Range: bytes=0-9"}});
  EXPECT_EQ(down.status, 503);
  EXPECT_EQ(down.body, page);
  EXPECT_EQ(down.Header("Content-Range"), "");
  EXPECT_EQ(Fetch(server.BaseUrl() + "/client/license").status, 200);

  // Switched on for everything while running, then off again.
  ASSERT_TRUE(server.AddRules("maintenance status=502,body=" + pagePath));
  Answer bad = Fetch(server.BaseUrl() + "/client/license");
  EXPECT_EQ(bad.status, 502);
  EXPECT_EQ(bad.body, page);
  ASSERT_TRUE(server.Reset());
  EXPECT_EQ(Fetch(server.BaseUrl() + "/upd/a.pkg").status, 200);
  // A rule that does not parse is refused and changes nothing.
  EXPECT_FALSE(server.AddRules("maintenance status=200,body=" + pagePath));
  EXPECT_FALSE(server.AddRules("fault path=/upd/a.pkg,status=500\nfault path=/x"));
  EXPECT_EQ(Fetch(server.BaseUrl() + "/upd/a.pkg").status, 200);
}

TEST_F(ProductServerTest, InjectsFaults) {
  std::string corruptWhole = m_package;
  corruptWhole[10] = static_cast<char>(~corruptWhole[10]);
  corruptWhole[11] = static_cast<char>(~corruptWhole[11]);
  struct Case {
    std::string fault;
    std::string range;
    CURLcode code;
    long status;
    std::string body;
  };
  const std::vector<Case> cases = {
      {"cut=100", "", CURLE_PARTIAL_FILE, 200, PackageBytes(0, 99)},
      {"cut=10", "bytes=500-", CURLE_PARTIAL_FILE, 206, PackageBytes(500, 509)},
      {"cut=0", "", CURLE_PARTIAL_FILE, 200, ""},
      {"cut=5000", "", CURLE_OK, 200, m_package},  // beyond the end: no effect
      {"corrupt=10:2", "", CURLE_OK, 200, corruptWhole},
      // Offsets are in the file, so a range sees the same damaged bytes.
      {"corrupt=10:2", "bytes=5-15", CURLE_OK, 206, corruptWhole.substr(5, 11)},
      {"corrupt=10:2", "bytes=20-29", CURLE_OK, 206, PackageBytes(20, 29)},
      {"status=500", "bytes=0-9", CURLE_OK, 500, "injected status 500\n"},
      {"status=404", "", CURLE_OK, 404, "injected status 404\n"},
      {"stall=100:10", "", CURLE_OK, 200, m_package},
      {"trickle=300:5", "", CURLE_OK, 200, m_package},
      {"pad=3", "bytes=0-9", CURLE_OK, 206, PackageBytes(0, 9) + std::string(3, '\0')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault + " " + c.range);
    LocalServer server(m_folder.path(), {"--fault", "path=/upd/a.pkg," + c.fault});
    ASSERT_TRUE(server.ok()) << server.error();
    Request request;
    if (!c.range.empty()) request.headers.push_back("Range: " + c.range);
    Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg", request);
    EXPECT_EQ(answer.code, c.code);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(answer.body, c.body);
    // Other paths are untouched.
    EXPECT_EQ(Fetch(server.BaseUrl() + "/client/license").body, m_text);
  }
}

TEST_F(ProductServerTest, GzipBombIsSentUnaskedInPlaceOfTheRange) {
  LocalServer server(m_folder.path(), {"--fault", "path=/upd/a.pkg,gzipbomb=5000000"});
  ASSERT_TRUE(server.ok()) << server.error();
  Request request;
  request.headers.push_back("Range: bytes=100-199");
  Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg", request);
  EXPECT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.status, 206);
  ASSERT_LT(answer.body.size(), 50000u);
  z_stream stream = {};
  ASSERT_EQ(inflateInit2(&stream, 15 + 16), Z_OK);
  stream.next_in = reinterpret_cast<Bytef*>(answer.body.data());
  stream.avail_in = static_cast<uInt>(answer.body.size());
  std::string plain(6000000, 'x');
  stream.next_out = reinterpret_cast<Bytef*>(plain.data());
  stream.avail_out = static_cast<uInt>(plain.size());
  EXPECT_EQ(inflate(&stream, Z_FINISH), Z_STREAM_END);
  plain.resize(stream.total_out);
  inflateEnd(&stream);
  EXPECT_EQ(plain, std::string(5000000, '\0'));
}

TEST_F(ProductServerTest, StallHoldsTheBodyBack) {
  LocalServer server(m_folder.path(), {"--fault", "path=/upd/a.pkg,stall=400:300"});
  ASSERT_TRUE(server.ok()) << server.error();
  auto start = std::chrono::steady_clock::now();
  Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg");
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.body, m_package);
  // A lower bound only: the stall must have happened.
  EXPECT_GE(waited, std::chrono::milliseconds(300));
}

TEST_F(ProductServerTest, FaultsCountTheirUsesAndCanBeSetWhileRunning) {
  LocalServer server(m_folder.path(), {"--fault", "prefix=/upd/,cut=10,times=1"});
  ASSERT_TRUE(server.ok()) << server.error();
  const std::string url = server.BaseUrl() + "/upd/a.pkg";
  EXPECT_EQ(Fetch(url).code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(Fetch(url).body, m_package);  // spent after one use

  ASSERT_TRUE(server.AddRules("fault path=/upd/a.pkg,status=503,times=2\n"
                              "fault path=/client/license,corrupt=0"));
  EXPECT_EQ(Fetch(url).status, 503);
  EXPECT_EQ(Fetch(url).status, 503);
  EXPECT_EQ(Fetch(url).status, 200);
  EXPECT_NE(Fetch(server.BaseUrl() + "/client/license").body, m_text);
  ASSERT_TRUE(server.Reset());
  EXPECT_EQ(Fetch(server.BaseUrl() + "/client/license").body, m_text);
}

TEST_F(ProductServerTest, GzipOnlyWhenEnabledAndAccepted) {
  struct Case {
    bool serverGzip;
    std::string accept;
    std::string range;
    bool expectGzip;
  };
  const std::vector<Case> cases = {
      {true, "gzip", "", true},
      {true, "deflate, gzip", "", true},
      {true, "", "", false},
      {true, "gzip;q=0", "", false},
      {true, "gzip", "bytes=0-99", false},  // ranges are of the plain file
      {false, "gzip", "", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.serverGzip) + " [" + c.accept + "] " + c.range);
    std::vector<std::string> args;
    if (c.serverGzip) args.push_back("--gzip");
    LocalServer server(m_folder.path(), args);
    ASSERT_TRUE(server.ok()) << server.error();
    Request request;
    if (!c.accept.empty()) request.headers.push_back("Accept-Encoding: " + c.accept);
    if (!c.range.empty()) request.headers.push_back("Range: " + c.range);
    Answer raw = Fetch(server.BaseUrl() + "/client/license", request);
    ASSERT_EQ(raw.code, CURLE_OK);
    EXPECT_EQ(raw.Header("Content-Encoding"), c.expectGzip ? "gzip" : "");
    if (c.expectGzip) {
      ASSERT_GE(raw.body.size(), 2u);
      EXPECT_EQ(raw.body.substr(0, 2), "\x1f\x8b");
      EXPECT_LT(raw.body.size(), m_text.size());
      // The same answer decoded by curl is the file.
      Answer decoded = Fetch(server.BaseUrl() + "/client/license", {.acceptEncoding = "gzip"});
      EXPECT_EQ(decoded.body, m_text);
    } else {
      EXPECT_EQ(raw.body, c.range.empty() ? m_text : m_text.substr(0, 100));
    }
  }
}

TEST_F(ProductServerTest, LogsTargetQueryAndChosenHeaders) {
  LocalServer server(m_folder.path(),
                     {"--log-header", "Accept", "--log-header", "Accept-Encoding", "--gzip"});
  ASSERT_TRUE(server.ok()) << server.error();
  Fetch(server.BaseUrl() + "/client/license?LANG=en",
        {.headers = {"Accept: application/xml", "Accept-Encoding: gzip, deflate"}});
  Fetch(server.BaseUrl() + "/upd/update.rxml?1733797000123", {.method = "HEAD"});
  ASSERT_TRUE(server.AddRules("fault path=/x,status=500"));  // control requests are not logged

  std::vector<LoggedRequest> logged = server.Requests();
  ASSERT_EQ(logged.size(), 2u);
  EXPECT_EQ(logged[0].path(), "/client/license");
  EXPECT_EQ(logged[0].query(), "LANG=en");
  EXPECT_EQ(logged[0].status, 200);
  EXPECT_EQ(logged[0].headers,
            (std::vector<std::string>{"Accept: application/xml", "Accept-Encoding: gzip, deflate"}));
  EXPECT_EQ(logged[1].method, "HEAD");
  EXPECT_EQ(logged[1].query(), "1733797000123");
  EXPECT_EQ(logged[1].status, 404);
  EXPECT_EQ(logged[1].headers, (std::vector<std::string>{"Accept: */*", "Accept-Encoding: -"}));
}

TEST_F(ProductServerTest, ServesHttpsWithASelfSignedCertificate) {
  const std::string cert = (m_folder / "tls/cert.pem").string();
  const std::string key = (m_folder / "tls/key.pem").string();
  std::filesystem::create_directories(m_folder / "tls");
  ASSERT_EQ(testing_support::RunProcess(
                {"openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt",
                 "ec_paramgen_curve:prime256v1", "-nodes", "-keyout", key, "-out", cert, "-days",
                 "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"}),
            0);
  LocalServer server(m_folder.path(), {"--cert", cert, "--key", key});
  ASSERT_TRUE(server.ok()) << server.error();
  ASSERT_EQ(server.BaseUrl().rfind("https://127.0.0.1:", 0), 0u);

  Answer answer = Fetch(server.BaseUrl() + "/upd/a.pkg",
                        {.headers = {"Range: bytes=100-199"}, .caFile = cert});
  EXPECT_EQ(answer.code, CURLE_OK);
  EXPECT_EQ(answer.status, 206);
  EXPECT_EQ(answer.body, PackageBytes(100, 199));
  // Without trusting that certificate the client refuses the server.
  EXPECT_EQ(Fetch(server.BaseUrl() + "/upd/a.pkg").code, CURLE_PEER_FAILED_VERIFICATION);
  // Faults work over TLS too.
  ASSERT_TRUE(server.AddRules("fault path=/upd/a.pkg,cut=50"));
  Answer cut = Fetch(server.BaseUrl() + "/upd/a.pkg", {.caFile = cert});
  EXPECT_EQ(cut.code, CURLE_PARTIAL_FILE);
  EXPECT_EQ(cut.body, PackageBytes(0, 49));
}

TEST_F(ProductServerTest, HelperEndsTheServer) {
  pid_t pid = 0;
  {
    LocalServer server(m_folder.path());
    ASSERT_TRUE(server.ok()) << server.error();
    pid = server.pid();
    EXPECT_EQ(kill(pid, 0), 0);
  }
  // Ended and reaped: the process id no longer exists.
  EXPECT_EQ(kill(pid, 0), -1);
  EXPECT_EQ(errno, ESRCH);

  LocalServer refused(m_folder.path(), {"--fault", "path=/x"});
  EXPECT_FALSE(refused.ok());
  EXPECT_FALSE(refused.error().empty());
}

}  // namespace
