#include "servers/url_selector.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "servers/cud_cipher.h"
#include "support/temp_dir.h"

namespace {

using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::WriteFileBytes;
using Urls = std::vector<std::string>;

constexpr const char* kPredefined = R"(<config><ClientUpdateData>
  <Face id="face1">
    <LoginURLs><URL>http://a</URL><URL>http://b</URL></LoginURLs>
    <DataUpdateURLs><URL>http://u1</URL></DataUpdateURLs>
  </Face>
  <ReplaceURLs>
    <Replace from="http://old" to="http://a2"/>
    <Replace from="http://gone"/>
    <Replace from="http://same" to="http://same"/>
  </ReplaceURLs>
</ClientUpdateData></config>)";

// Collects the log as whole lines, the way the text log joins open lines.
class LogLines {
 public:
  CUrlSelector::LogCallback Callback() {
    return [this](const std::string& text, bool lineEnd) {
      m_open += text;
      if (lineEnd) {
        lines.push_back(m_open);
        m_open.clear();
      }
    };
  }
  bool Has(const std::string& line) const {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }
  std::vector<std::string> lines;

 private:
  std::string m_open;
};

class UrlSelectorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_config.Parse(kPredefined), tinyxml2::XML_SUCCESS);
    m_path = (m_dir / "CUD.dat").string();
  }
  const tinyxml2::XMLElement* Predefined() const { return m_config.RootElement()->FirstChildElement("ClientUpdateData"); }

  // A selector with the built-in key and the log attached, initialised on the
  // predefined data and `m_path`.
  bool Init(CUrlSelector& selector, LogLines& log, bool debug = false, const Urls& embedded = {}) {
    selector.SetLogCallback(log.Callback());
    selector.SetKeyText(kCudKeyText);
    return selector.Initialize(Predefined(), embedded, m_path, debug);
  }

  static std::string Document(const std::string& body) { return "<ClientUpdateData>" + body + "</ClientUpdateData>"; }

  tinyxml2::XMLDocument m_config;
  TempDir m_dir;
  std::string m_path;
};

TEST_F(UrlSelectorTest, InitializesFromPredefinedDataAndEmbeddedList) {
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  EXPECT_EQ(selector.Face().faceId, "face1");
  EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://a", "http://b"}));
  EXPECT_EQ(selector.Face().dataUpdateURLs, (Urls{"http://u1"}));
  ASSERT_EQ(selector.Runtime().replaceRules.size(), 2u);  // from == to is dropped
  EXPECT_EQ(selector.Runtime().replaceRules[1].to, "");
  EXPECT_EQ(selector.Runtime().country, "N/A");
  EXPECT_TRUE(selector.IsInitialized());
  EXPECT_TRUE(selector.IsModified());
  EXPECT_EQ(log.lines, (std::vector<std::string>{"", "Initializing CUD... OK", "Loading CUD file... cannot open CUD file"}));

  CUrlSelector embedded;
  LogLines log2;
  ASSERT_TRUE(Init(embedded, log2, false, {"http://x", "", "http://y"}));
  EXPECT_EQ(embedded.Face().loginURLs, (Urls{"http://x", "http://y"}));
}

TEST_F(UrlSelectorTest, InitializeFailures) {
  struct Case {
    const char* document;
    const char* line;
  } cases[] = {
      {"<ClientUpdateData/>", "Initializing CUD... failed to parse predefined CUD"},
      {"<ClientUpdateData><Face><LoginURLs><URL>u</URL></LoginURLs></Face></ClientUpdateData>",
       "Initializing CUD... failed to parse predefined CUD"},
      {"<ClientUpdateData><Face id='f'/></ClientUpdateData>", "Initializing CUD... list of predefined server URLs is empty"},
  };
  for (const Case& c : cases) {
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(c.document), tinyxml2::XML_SUCCESS);
    CUrlSelector selector;
    LogLines log;
    selector.SetLogCallback(log.Callback());
    EXPECT_FALSE(selector.Initialize(doc.RootElement(), {}, m_path, false)) << c.document;
    EXPECT_TRUE(log.Has(c.line)) << c.document;
    EXPECT_FALSE(selector.IsInitialized());
    EXPECT_FALSE(selector.Save(false));
    EXPECT_FALSE(selector.OnIncomingData(Document("<Face id='f'/>")));
  }
}

TEST_F(UrlSelectorTest, PrintsTheDocumentShape) {
  CudFace face;
  CudRuntimeData rtd;
  CUrlSelector selector;
  EXPECT_FALSE(selector.PrintDocument(face, rtd).has_value());
  face.faceId = "f&1";
  face.askLoginURL = true;
  face.loginURLs = {"http://a?x=1&y=2"};
  rtd.selectedURL = "http://a";
  rtd.updateURL = "not stored";
  rtd.customURL = "not stored";
  rtd.city = "";
  rtd.replaceRules.push_back({"x", "y"});
  EXPECT_EQ(*selector.PrintDocument(face, rtd),
            "<ClientUpdateData>\n"
            "    <Face id=\"f&amp;1\" askLoginURL=\"true\">\n"
            "        <LoginURLs>\n"
            "            <URL>http://a?x=1&amp;y=2</URL>\n"
            "        </LoginURLs>\n"
            "    </Face>\n"
            "    <Location country=\"N/A\" city=\"\"/>\n"
            "    <SelectedURL>http://a</SelectedURL>\n"
            "</ClientUpdateData>\n");
}

TEST_F(UrlSelectorTest, SavesEncryptedAndReloads) {
  {
    CUrlSelector selector;
    LogLines log;
    ASSERT_TRUE(Init(selector, log));
    selector.Runtime().selectedURL = "http://b";
    selector.Runtime().lastKnownGoodURL = "http://good";
    selector.Runtime().country = "UA";
    selector.Face().askLoginURL = true;
    ASSERT_TRUE(selector.Save(false));
    EXPECT_TRUE(log.Has("Saving CUD file... OK"));
    EXPECT_FALSE(selector.IsModified());

    const std::string stored = ReadFileBytes(m_path);
    EXPECT_FALSE(stored.starts_with("<Client"));
    EXPECT_EQ(stored.size() % 16, 0u);
    std::string plain;
    ASSERT_TRUE(selector.DecryptData(stored, plain));
    EXPECT_EQ(plain, *selector.PrintDocument(selector.Face(), selector.Runtime()));

    // Nothing changed: the file is left alone.
    WriteFileBytes(m_path, "sentinel-bytes");
    EXPECT_FALSE(selector.Save(true));
    EXPECT_EQ(log.lines.back(), "Saving CUD file... not modified");
    EXPECT_EQ(ReadFileBytes(m_path), "sentinel-bytes");
    WriteFileBytes(m_path, stored);
  }
  CUrlSelector next;
  LogLines log;
  ASSERT_TRUE(Init(next, log));
  EXPECT_TRUE(log.Has("Loading CUD file... OK"));
  EXPECT_TRUE(log.Has("Replacing URLs in loaded CUD file... 0 URLs replaced/removed"));
  EXPECT_TRUE(log.Has("Updating inner CUD by loaded CUD file... no new URLs"));
  EXPECT_EQ(next.Runtime().selectedURL, "http://b");
  EXPECT_EQ(next.Runtime().lastKnownGoodURL, "http://good");
  EXPECT_EQ(next.Runtime().country, "UA");
  EXPECT_EQ(next.Runtime().city, "N/A");
  EXPECT_TRUE(next.Face().askLoginURL);
}

TEST_F(UrlSelectorTest, LoadedFileIsRewrittenByReplaceRulesAndMerged) {
  WriteFileBytes(m_path, Document("<Face id='face1'><LoginURLs><URL>http://old</URL><URL>http://gone</URL>"
                                  "<URL>http://c</URL></LoginURLs></Face><SelectedURL>http://c</SelectedURL>"));
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  EXPECT_TRUE(log.Has("Replacing URLs in loaded CUD file... 2 URLs replaced/removed"));
  EXPECT_TRUE(log.Has("Updating inner CUD by loaded CUD file... URLs updated"));
  EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://a2", "http://c"}));
  EXPECT_EQ(selector.Face().dataUpdateURLs, (Urls{"http://u1"}));  // empty in the file: kept
  EXPECT_EQ(selector.Runtime().selectedURL, "http://c");
}

TEST_F(UrlSelectorTest, UnusableFilesLeaveThePredefinedData) {
  struct Case {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"another face", Document("<Face id='other'><LoginURLs><URL>http://z</URL></LoginURLs></Face>"
                                "<Location country='DE' city='B'/><SelectedURL>http://z</SelectedURL>")},
      {"five bytes", "<Clie"},
      {"garbage", std::string(64, '\x7F')},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    WriteFileBytes(m_path, c.bytes);
    CUrlSelector selector;
    LogLines log;
    ASSERT_TRUE(Init(selector, log)) << c.what;
    EXPECT_TRUE(log.Has("Loading CUD file... failed to parse CUD file")) << c.what;
    EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://a", "http://b"})) << c.what;
    EXPECT_EQ(selector.Runtime().selectedURL, "") << c.what;
    EXPECT_EQ(selector.Runtime().country, "N/A") << c.what;
    // The bad file is replaced at the next save.
    ASSERT_TRUE(selector.Save(false)) << c.what;
    std::string plain;
    ASSERT_TRUE(selector.DecryptData(ReadFileBytes(m_path), plain)) << c.what;
    EXPECT_NE(plain.find("<URL>http://a</URL>"), std::string::npos) << c.what;
  }
}

TEST_F(UrlSelectorTest, DebugModeWritesPlainTextThatANormalRunEncrypts) {
  {
    CUrlSelector selector;
    LogLines log;
    ASSERT_TRUE(Init(selector, log, true));
    EXPECT_TRUE(log.Has("\n--- initial CUD data ---\n"));
    EXPECT_TRUE(log.Has("\n--- end CUD data ---\n"));
    std::string cipher;
    EXPECT_FALSE(selector.EncryptData("x", cipher));
    selector.Runtime().selectedURL = "http://b";
    ASSERT_TRUE(selector.Save(false));
    EXPECT_TRUE(ReadFileBytes(m_path).starts_with("<ClientUpdateData>"));
  }
  CUrlSelector normal;
  LogLines log;
  ASSERT_TRUE(Init(normal, log));
  EXPECT_EQ(normal.Runtime().selectedURL, "http://b");
  ASSERT_TRUE(normal.Save(false));
  EXPECT_FALSE(ReadFileBytes(m_path).starts_with("<Client"));
}

TEST_F(UrlSelectorTest, FileFormatMatchesTheOpenSslTool) {
  const std::string keyHex = kCudKeyText;
  const std::string plainPath = (m_dir / "plain.xml").string();
  const std::string decodedPath = (m_dir / "decoded.xml").string();
  WriteFileBytes(plainPath, Document("<Face id='face1'><LoginURLs><URL>http://from-tool</URL></LoginURLs></Face>"
                                     "<LastKnownGoodURL>http://lkg</LastKnownGoodURL>"));
  const std::string encrypt =
      "openssl enc -aes-128-ecb -K " + keyHex + " -in '" + plainPath + "' -out '" + m_path + "' 2>/dev/null";
  ASSERT_EQ(std::system(encrypt.c_str()), 0);

  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://from-tool"}));
  EXPECT_EQ(selector.Runtime().lastKnownGoodURL, "http://lkg");

  ASSERT_TRUE(selector.Save(false));
  const std::string decrypt =
      "openssl enc -d -aes-128-ecb -K " + keyHex + " -in '" + m_path + "' -out '" + decodedPath + "' 2>/dev/null";
  ASSERT_EQ(std::system(decrypt.c_str()), 0);
  EXPECT_EQ(ReadFileBytes(decodedPath), *selector.PrintDocument(selector.Face(), selector.Runtime()));
}

TEST_F(UrlSelectorTest, KeyTextMustBeThirtyTwoHexDigits) {
  CudKey key;
  EXPECT_TRUE(ParseCudKey("9c3e71a0b58d24f6E07A1D93C6B2485F", key));
  EXPECT_EQ(key[0], 0x9C);
  EXPECT_EQ(key[15], 0x5F);
  for (const char* bad : {"", "9C3E71A0B58D24F6E07A1D93C6B2485", "9C3E71A0B58D24F6E07A1D93C6B2485F0",
                          "9C3E71A0B58D24F6E07A1D93C6B2485G", " C3E71A0B58D24F6E07A1D93C6B2485F"}) {
    EXPECT_FALSE(ParseCudKey(bad, key)) << bad;
    CUrlSelector selector;
    selector.SetKeyText(bad);
    std::string out;
    EXPECT_FALSE(selector.EncryptData("text", out)) << bad;
    EXPECT_FALSE(selector.DecryptData(std::string(16, 'x'), out)) << bad;
  }
  CUrlSelector noKey;
  std::string out;
  EXPECT_FALSE(noKey.EncryptData("text", out));

  // Wrong lengths and wrong padding fail to decrypt.
  ASSERT_TRUE(ParseCudKey(kCudKeyText, key));
  std::string cipher;
  ASSERT_TRUE(CudEncrypt(key, "exactly sixteen!", cipher));
  EXPECT_EQ(cipher.size(), 32u);  // a whole block of padding
  EXPECT_TRUE(CudDecrypt(key, cipher, out));
  EXPECT_EQ(out, "exactly sixteen!");
  EXPECT_FALSE(CudDecrypt(key, cipher.substr(0, 31), out));
  EXPECT_FALSE(CudDecrypt(key, cipher.substr(0, 16), out));
}

TEST_F(UrlSelectorTest, SaveMergesRunTimeValuesOfAnotherWriter) {
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  selector.Runtime().selectedURL = "http://a";
  selector.Runtime().city = "Kyiv";
  // Another launcher stored its values since this one loaded.
  WriteFileBytes(m_path, Document("<Face id='face1'/><Location country='UA' city=''/>"
                                  "<SelectedURL>http://other</SelectedURL><LastKnownGoodURL>http://lkg</LastKnownGoodURL>"));
  ASSERT_TRUE(selector.Save(true));
  EXPECT_TRUE(log.Has("Saving CUD file... need to merge RTD"));
  EXPECT_TRUE(log.Has("Updating RTD... RTD updated"));
  EXPECT_EQ(selector.Runtime().lastKnownGoodURL, "http://lkg");
  EXPECT_EQ(selector.Runtime().country, "UA");
  EXPECT_EQ(selector.Runtime().city, "Kyiv");  // empty in the file: kept
  EXPECT_EQ(selector.Runtime().selectedURL, "http://a");

  selector.SetModified();
  ASSERT_TRUE(selector.Save(true));
  EXPECT_TRUE(log.Has("Updating RTD... no new RTD"));
}

TEST_F(UrlSelectorTest, SaveFailureKeepsTheDataModified) {
  m_path = (m_dir / "missing-folder" / "CUD.dat").string();
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  EXPECT_FALSE(selector.Save(false));
  EXPECT_EQ(log.lines.back(), "Saving CUD file... cannot open CUD file for writing");
  EXPECT_TRUE(selector.IsModified());

  CUrlSelector noFile;
  ASSERT_TRUE(noFile.Initialize(Predefined(), {}, "", false));
  EXPECT_FALSE(noFile.Save(false));
  EXPECT_EQ(CudFilePath(""), "CUD.dat");
  EXPECT_EQ(CudFilePath("/games/client"), "/games/client/CUD.dat");
}

TEST_F(UrlSelectorTest, IncomingDataMergesOnlyTheMatchingFace) {
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log, true));
  ASSERT_TRUE(selector.Save(false));

  struct Case {
    const char* what;
    std::string text;
    bool changed;
    const char* line;
  } cases[] = {
      {"not XML", "plain text", false, "Updating CUD by incoming data... \nFailed to parse CUD file"},
      {"other face then an element without id",
       Document("<Face id='x'/><Location/><Face id='face1'><LoginURLs><URL>http://n</URL></LoginURLs></Face>"), false,
       "Updating CUD by incoming data... \nFailed to parse CUD file"},
      {"same lists", Document("<Face id='face1'><LoginURLs><URL>http://a</URL><URL>http://b</URL></LoginURLs></Face>"),
       false, "Updating CUD by incoming data... no new URLs"},
      {"new list after another face",
       Document("<Face id='x'/><Face id='face1'><LoginURLs><URL>http://n</URL></LoginURLs></Face>"
                "<SelectedURL>http://ignored</SelectedURL>"),
       true, "Updating CUD by incoming data... OK"},
  };
  for (const Case& c : cases) {
    log.lines.clear();
    EXPECT_EQ(selector.OnIncomingData(c.text), c.changed) << c.what;
    EXPECT_TRUE(log.Has(c.line)) << c.what;
    EXPECT_TRUE(log.Has("CUD data received")) << c.what;
  }
  EXPECT_TRUE(log.Has("\n--- incoming CUD data ---"));
  EXPECT_TRUE(log.Has("\n--- current CUD data ---\n"));
  EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://n"}));
  EXPECT_EQ(selector.Face().dataUpdateURLs, (Urls{"http://u1"}));
  EXPECT_EQ(selector.Runtime().selectedURL, "");
  EXPECT_TRUE(selector.IsModified());
}

TEST_F(UrlSelectorTest, ParseFaceReadsAskLoginFromTheFirstFace) {
  CUrlSelector selector;
  LogLines log;
  ASSERT_TRUE(Init(selector, log));
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(Document("<Location/><Face id='x' askLoginURL='1'/><Face id='face1' askLoginURL='0'>"
                               "<DataUpdateURLs><URL>http://d</URL><Other>http://e</Other><URL></URL></DataUpdateURLs>"
                               "</Face>")
                          .c_str()),
            tinyxml2::XML_SUCCESS);
  CudFace face;
  ASSERT_TRUE(selector.ParseFace(doc.RootElement(), face, true, false));
  EXPECT_EQ(face.faceId, "face1");
  EXPECT_TRUE(face.askLoginURL);
  EXPECT_TRUE(face.loginURLs.empty());
  EXPECT_EQ(face.dataUpdateURLs, (Urls{"http://d", "http://e"}));  // followers of any name, empty ones skipped

  CUrlSelector noId;  // matching needs a current face identifier
  EXPECT_FALSE(noId.ParseFace(doc.RootElement(), face, true, false));
}

TEST_F(UrlSelectorTest, LoginListIsChosenByLocation) {
  const std::string faceXml = Document(
      "<Face id='face1'>"
      "<LoginURLs country='RU, UA'><URL>http://east</URL></LoginURLs>"
      "<LoginURLs country='DE' city='berlin , Hamburg'><URL>http://de-city</URL></LoginURLs>"
      "<LoginURLs><URL>http://any</URL></LoginURLs>"
      "</Face>");
  const std::string noFallback = Document(
      "<Face id='face1'><LoginURLs country='RU'><URL>http://ru</URL></LoginURLs>"
      "<DataUpdateURLs><URL>http://upd</URL></DataUpdateURLs></Face>");
  struct Case {
    std::string document;
    const char* country;
    const char* city;
    Urls expected;
  } cases[] = {
      {faceXml, "ua", "N/A", {"http://east"}},
      {faceXml, "N/A", "N/A", {"http://any"}},
      {faceXml, "DE", "Berlin", {"http://de-city"}},
      {faceXml, "DE", "Munich", {"http://any"}},
      {noFallback, "UA", "N/A", {}},
  };
  for (const Case& c : cases) {
    CUrlSelector selector;
    LogLines log;
    ASSERT_TRUE(Init(selector, log));
    selector.Runtime().country = c.country;
    selector.Runtime().city = c.city;
    tinyxml2::XMLDocument doc;
    ASSERT_EQ(doc.Parse(c.document.c_str()), tinyxml2::XML_SUCCESS);
    CudFace face;
    ASSERT_TRUE(selector.ParseFace(doc.RootElement(), face, true, true));
    EXPECT_EQ(face.loginURLs, c.expected) << c.country << "/" << c.city;
    // No list passes: an incoming face without login URLs keeps the current list.
    if (c.expected.empty()) {
      EXPECT_TRUE(selector.OnIncomingData(c.document));  // the data-update list changed
      EXPECT_EQ(selector.Face().loginURLs, (Urls{"http://a", "http://b"}));
      EXPECT_EQ(selector.Face().dataUpdateURLs, (Urls{"http://upd"}));
    }
  }
}

TEST(UrlSelectorSteps, SplitLocationList) {
  std::set<std::string> set;
  EXPECT_TRUE(CUrlSelector::SplitLocationList(" ru , ,ua,RU,,  ", set));
  EXPECT_EQ(set, (std::set<std::string>{"RU", "UA"}));
  std::set<std::string> untouched{"X"};
  EXPECT_FALSE(CUrlSelector::SplitLocationList(std::string(256, 'a'), untouched));
  EXPECT_EQ(untouched, (std::set<std::string>{"X"}));
  EXPECT_TRUE(CUrlSelector::SplitLocationList(std::string(255, 'a'), set));
}

TEST(UrlSelectorSteps, ApplyReplaceRules) {
  struct Case {
    Urls login;
    std::vector<UrlReplaceRule> rules;
    Urls expected;
    int count;
  } cases[] = {
      {{"A", "C"}, {{"A", "B"}}, {"B", "C"}, 1},
      {{"A", "B"}, {{"A", "B"}}, {"B"}, 1},
      {{"C", "A"}, {{"A", ""}}, {"C"}, 1},
      {{"A", "A"}, {{"A", "B"}}, {"B", "A"}, 1},
      {{"C"}, {{"A", "B"}}, {"C"}, 0},
      {{"A", "C"}, {{"A", "B"}, {"C", "D"}, {"B", "E"}}, {"E", "D"}, 3},
  };
  for (const Case& c : cases) {
    CudFace face;
    face.loginURLs = c.login;
    face.dataUpdateURLs = c.login;
    EXPECT_EQ(CUrlSelector::ApplyReplaceRules(face, c.rules), 2 * c.count);
    EXPECT_EQ(face.loginURLs, c.expected);
    EXPECT_EQ(face.dataUpdateURLs, c.expected);
  }
}

TEST(UrlSelectorSteps, MergeFace) {
  CudFace current{"f", false, {"A", "B"}, {"U"}};
  EXPECT_FALSE(CUrlSelector::MergeFace(current, CudFace{"g", true, {"X"}, {}}));
  EXPECT_FALSE(current.askLoginURL);
  EXPECT_FALSE(CUrlSelector::MergeFace(current, CudFace{"f", true, {"A", "B"}, {}}));
  EXPECT_TRUE(current.askLoginURL);
  EXPECT_FALSE(CUrlSelector::MergeFace(current, CudFace{"f", false, {}, {}}));
  EXPECT_TRUE(current.askLoginURL);  // never cleared by a merge
  EXPECT_TRUE(CUrlSelector::MergeFace(current, CudFace{"f", false, {"B", "A"}, {}}));
  EXPECT_EQ(current.loginURLs, (Urls{"B", "A"}));
  EXPECT_TRUE(CUrlSelector::MergeFace(current, CudFace{"f", false, {}, {"U", "V"}}));
  EXPECT_EQ(current.dataUpdateURLs, (Urls{"U", "V"}));
  EXPECT_EQ(current.loginURLs, (Urls{"B", "A"}));
}

}  // namespace
