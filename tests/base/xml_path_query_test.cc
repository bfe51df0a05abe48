#include "base/xml_path_query.h"

#include <gtest/gtest.h>

#include <string>

#include "base/xml_readers.h"

namespace {

constexpr const char* kDocument = R"(<config>
  <regPath>Software\Game</regPath>
  <log><other enable="1"/></log>
  <a x="7"><b/></a>
  <item name="first"/>
  <item name="second"/>
  <common><languages/></common>
</config>)";

class XmlPathQueryTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(m_doc.Parse(kDocument), tinyxml2::XML_SUCCESS); }
  const tinyxml2::XMLElement* Root() const { return m_doc.RootElement(); }
  const tinyxml2::XMLElement* Child(const char* name) const { return Root()->FirstChildElement(name); }

  tinyxml2::XMLDocument m_doc;
};

TEST_F(XmlPathQueryTest, ReportsElementKindAndLastSegment) {
  const tinyxml2::XMLElement* a = Child("a");
  struct Case {
    std::string path;
    const tinyxml2::XMLElement* element;
    XmlPathKind kind;
    size_t begin;
    size_t end;
    bool present;  // under the acceptance rule with the kind the path asks for
  } cases[] = {
      {"regPath/text()", Child("regPath"), PathText, 8, 14, true},
      {"log/logLauncher/@enable", nullptr, PathStep, 4, 15, false},
      {"@value", nullptr, PathAttribute, 0, 6, false},
      {"text()", nullptr, PathText, 0, 6, false},
      {"a/@x/b", a, PathAttribute, 2, 4, false},
      {"a//b", a, PathElement, 2, 2, false},
      {"a/", a, PathStep, 0, 1, false},
      {"a/@x", a, PathAttribute, 2, 4, true},
      {"common/languages", Child("common")->FirstChildElement("languages"), PathElement, 16, 16, true},
      {"/a", nullptr, PathElement, 0, 0, false},
      {"A", nullptr, PathStep, 0, 1, false},  // names are case-sensitive
  };
  for (const Case& c : cases) {
    const XmlPathResult r = XmlPathQuery(Root(), c.path);
    EXPECT_EQ(r.element, c.element) << c.path;
    EXPECT_EQ(r.kind, c.kind) << c.path;
    EXPECT_EQ(r.segmentBegin, c.begin) << c.path;
    EXPECT_EQ(r.segmentEnd, c.end) << c.path;
    EXPECT_EQ(XmlPathFind(Root(), c.path) != nullptr, c.present) << c.path;
  }
  EXPECT_EQ(XmlPathQuery(Root(), "").element, nullptr);
  EXPECT_EQ(XmlPathQuery(nullptr, "a").element, nullptr);
}

TEST_F(XmlPathQueryTest, OnlyTheFirstOfSameNamedSiblingsIsReached) {
  std::string name;
  EXPECT_TRUE(XmlQueryAttrString(Root(), "item/@name", name));
  EXPECT_EQ(name, "first");
}

TEST_F(XmlPathQueryTest, OverlongStepReadsAsAbsent) {
  const std::string longName(256, 'n');
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(("<r><" + longName + ">v</" + longName + "></r>").c_str()), tinyxml2::XML_SUCCESS);
  const XmlPathResult r = XmlPathQuery(doc.RootElement(), longName);
  EXPECT_EQ(r.element, nullptr);
  EXPECT_EQ(r.kind, PathStep);
  // 255 characters are still looked up.
  const std::string limit(255, 'm');
  ASSERT_EQ(doc.Parse(("<r><" + limit + "/></r>").c_str()), tinyxml2::XML_SUCCESS);
  EXPECT_NE(XmlPathFind(doc.RootElement(), limit), nullptr);
}

TEST_F(XmlPathQueryTest, CombinedReadersApplyAcceptanceAndConversion) {
  std::string text;
  EXPECT_TRUE(XmlQueryText(Root(), "regPath/text()", text));
  EXPECT_EQ(text, "Software\\Game");
  bool enabled = false;
  EXPECT_TRUE(XmlQueryAttrBool(Root(), "log/other/@enable", enabled));
  EXPECT_TRUE(enabled);
  int32_t x = 0;
  EXPECT_TRUE(XmlQueryAttrInt(Root(), "a/@x", x));
  EXPECT_EQ(x, 7);

  // Absent or not accepted: outputs untouched.
  std::string untouched = "keep";
  EXPECT_FALSE(XmlQueryText(Root(), "regPath", untouched));         // not a text path
  EXPECT_FALSE(XmlQueryAttrString(Root(), "a/@x/b", untouched));    // selector not last
  EXPECT_FALSE(XmlQueryAttrString(Root(), "a/@missing", untouched));
  EXPECT_FALSE(XmlQueryText(Root(), "a/text()", untouched));        // first child is an element
  EXPECT_EQ(untouched, "keep");
  int32_t notNumber = 5;
  EXPECT_FALSE(XmlQueryTextInt(Root(), "regPath/text()", notNumber));
  EXPECT_EQ(notNumber, 5);
}

}  // namespace
