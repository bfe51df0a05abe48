#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "servers/url_selector.h"

namespace {

using Urls = std::vector<std::string>;

// A selector initialised on three server URLs and two data-update URLs,
// without a file; the log is kept as whole lines.
class UrlSelectionTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(Init(false)); }

  bool Init(bool debug) {
    const char* kDocument = R"(<ClientUpdateData><Face id="f">
      <LoginURLs><URL>http://a</URL><URL>http://b</URL><URL>https://c</URL></LoginURLs>
      <DataUpdateURLs><URL>http://u1</URL><URL>http://u2</URL></DataUpdateURLs>
    </Face></ClientUpdateData>)";
    if (m_doc.Parse(kDocument) != tinyxml2::XML_SUCCESS) return false;
    m_selector.SetLogCallback([this](const std::string& text, bool lineEnd) {
      m_open += text;
      if (lineEnd) {
        m_lines.push_back(m_open);
        m_open.clear();
      }
    });
    return m_selector.Initialize(m_doc.RootElement(), {}, "", debug);
  }
  // The outcome logged after `prefix` by the last operation.
  std::string LastOutcome(const std::string& prefix) const {
    for (auto it = m_lines.rbegin(); it != m_lines.rend(); ++it) {
      if (it->rfind(prefix, 0) == 0) return it->substr(prefix.size());
    }
    return "<none>";
  }
  // Selects until failure or `max` calls; the URLs handed out, "-" for a failure.
  Urls Selections(int count) {
    Urls out;
    for (int i = 0; i < count; ++i) {
      out.push_back(m_selector.SelectServerURL() ? m_selector.Runtime().selectedURL : "-");
    }
    return out;
  }

  tinyxml2::XMLDocument m_doc;
  CUrlSelector m_selector;
  std::vector<std::string> m_lines;
  std::string m_open;
};

TEST_F(UrlSelectionTest, ServerCycleStartsWithTheStoredChoiceAndWrapsAfterDepletion) {
  m_selector.Runtime().selectedURL = "http://b";
  EXPECT_EQ(Selections(7), (Urls{"http://b", "https://c", "http://a", "-", "http://a", "http://b", "https://c"}));
  EXPECT_EQ(m_selector.ServerIndex(), 3);
  m_selector.SelectServerURL();
  EXPECT_EQ(LastOutcome("Selecting server URL: "), "list depleted");
  EXPECT_EQ(m_selector.Runtime().selectedURL, "");
  EXPECT_EQ(m_selector.ServerIndex(), 0);
}

TEST_F(UrlSelectionTest, SelectionRotationCases) {
  struct Case {
    const char* name;
    Urls list;
    std::string current;
    int counter;
    bool result;
    std::string chosen;
    int counterAfter;
  };
  const Case cases[] = {
      {"empty list", {}, "http://x", 2, false, "", 0},
      {"stored choice no longer listed", {"http://a", "http://b"}, "http://gone", 0, true, "http://a", 1},
      {"new cycle keeps the URL in use", {"http://a", "http://b"}, "http://b", 0, true, "http://b", 1},
      {"within a cycle the next entry", {"http://a", "http://b"}, "http://b", 1, true, "http://a", 2},
      {"cycle depleted", {"http://a", "http://b"}, "http://a", 2, false, "", 0},
      {"other schemes never handed out", {"ftp://a", "http://b", "file:///c"}, "", 0, true, "http://b", 1},
      {"only other schemes", {"ftp://a", "javascript:x"}, "", 0, false, "", 0},
  };
  for (const Case& c : cases) {
    std::string current = c.current;
    int counter = c.counter;
    EXPECT_EQ(CUrlSelector::SelectNextURL(c.list, current, counter), c.result) << c.name;
    EXPECT_EQ(current, c.chosen) << c.name;
    EXPECT_EQ(counter, c.counterAfter) << c.name;
  }
}

TEST_F(UrlSelectionTest, UpdateCycleAndLogLines) {
  EXPECT_TRUE(m_selector.SelectUpdateURL());
  EXPECT_EQ(m_selector.Runtime().updateURL, "http://u1");
  EXPECT_EQ(LastOutcome("Selecting update URL: "), "OK");
  EXPECT_TRUE(m_selector.SelectUpdateURL());
  EXPECT_EQ(m_selector.Runtime().updateURL, "http://u2");
  EXPECT_FALSE(m_selector.SelectUpdateURL());
  EXPECT_EQ(LastOutcome("Selecting update URL: "), "list depleted");
  EXPECT_EQ(m_lines.back(), std::string(80, '-'));
}

TEST_F(UrlSelectionTest, DebugModeLogsTheUrlInsteadOfOk) {
  CUrlSelector debug;
  std::vector<std::string> lines;
  debug.SetLogCallback([&](const std::string& text, bool lineEnd) {
    if (lineEnd) lines.push_back(text);
  });
  ASSERT_TRUE(debug.Initialize(m_doc.RootElement(), {}, "", true));
  ASSERT_TRUE(debug.SelectServerURL());
  EXPECT_EQ(lines[lines.size() - 2], "http://a");
}

TEST_F(UrlSelectionTest, CustomUrlRefusals) {
  EXPECT_FALSE(m_selector.SetCustomURL(""));
  EXPECT_EQ(LastOutcome("Setting custom URL: "), "URL is empty");
  EXPECT_FALSE(m_selector.SetCustomURL("http://b"));
  EXPECT_EQ(LastOutcome("Setting custom URL: "), "URL already exist");
  // A NUL would be saved cut short in "CUD.dat"; a port beyond 65535 or a
  // host with a colon would not read back as the same server.
  for (const std::string& bad : {std::string("file:///etc/passwd"), std::string("ftp://host/"),
                                std::string("host.example"), std::string("http://"),
                                std::string("http://c\0.evil/", 15), std::string("http://c:18446744073709551615/"),
                                std::string("http://c:d:80/")}) {
    EXPECT_FALSE(m_selector.SetCustomURL(bad)) << bad;
    EXPECT_EQ(m_selector.Runtime().customURL, "") << bad;
  }
}

TEST_F(UrlSelectionTest, AcceptedCustomUrlJoinsTheListAndTheCycleGoesOnAfterIt) {
  ASSERT_TRUE(m_selector.SelectServerURL());
  ASSERT_TRUE(m_selector.SetCustomURL("https://x:8443"));
  EXPECT_EQ(m_selector.Runtime().selectedURL, "https://x:8443");
  EXPECT_EQ(m_selector.ServerIndex(), 0);
  EXPECT_FALSE(m_selector.SelectServerURL());
  EXPECT_EQ(LastOutcome("Selecting server URL: "), "cannot select while custom URL is set");
  EXPECT_EQ(m_selector.Runtime().selectedURL, "https://x:8443");

  ASSERT_TRUE(m_selector.AcceptCustomURL());
  EXPECT_EQ(m_selector.Face().loginURLs, (Urls{"http://a", "http://b", "https://c", "https://x:8443"}));
  EXPECT_EQ(m_selector.Runtime().customURL, "");
  EXPECT_EQ(m_selector.ServerIndex(), 1);
  EXPECT_FALSE(m_selector.AcceptCustomURL());  // nothing pending any more
  EXPECT_EQ(Selections(4), (Urls{"http://a", "http://b", "https://c", "-"}));
}

TEST_F(UrlSelectionTest, AcceptingAUrlThatMeanwhileJoinedTheListOnlyDropsIt) {
  ASSERT_TRUE(m_selector.SetCustomURL("http://x"));
  m_selector.Face().loginURLs.push_back("http://x");
  EXPECT_FALSE(m_selector.AcceptCustomURL());
  EXPECT_EQ(LastOutcome("Accepting custom server URL... "), "URL already exist");
  EXPECT_EQ(m_selector.Runtime().customURL, "");
  EXPECT_EQ(m_selector.Face().loginURLs.size(), 4u);
}

TEST_F(UrlSelectionTest, RejectedCustomUrlIsDropped) {
  ASSERT_TRUE(m_selector.SetCustomURL("http://x"));
  m_selector.RejectCustomURL();
  EXPECT_EQ(m_selector.Runtime().customURL, "");
  EXPECT_EQ(m_selector.Runtime().selectedURL, "");
  EXPECT_EQ(m_selector.Face().loginURLs.size(), 3u);
  EXPECT_EQ(Selections(1), (Urls{"http://a"}));

  // A custom URL that is also in the list and selected is removed from it.
  m_selector.Face().loginURLs.push_back("http://y");
  m_selector.Runtime().customURL = "http://y";
  m_selector.Runtime().selectedURL = "http://y";
  m_selector.RejectCustomURL();
  EXPECT_EQ(m_selector.Face().loginURLs, (Urls{"http://a", "http://b", "https://c"}));
  EXPECT_EQ(m_selector.Runtime().selectedURL, "");
  EXPECT_EQ(m_selector.ServerIndex(), 0);
}

TEST(UrlSelectionUninitialised, EveryOperationRefuses) {
  CUrlSelector selector;
  EXPECT_FALSE(selector.SelectServerURL());
  EXPECT_FALSE(selector.SelectUpdateURL());
  EXPECT_FALSE(selector.SetCustomURL("http://x"));
  EXPECT_FALSE(selector.AcceptCustomURL());
  selector.RejectCustomURL();
  EXPECT_FALSE(selector.IsModified());
}

}  // namespace
