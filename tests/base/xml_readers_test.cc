#include "base/xml_readers.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(XmlConversion, Booleans) {
  struct Case {
    const char* value;
    bool ok;
    bool result;
  } cases[] = {
      {"1", true, true},     {"0", true, false},     {"2", false, false}, {"true", true, true},
      {"TRUE", false, false}, {"tr", true, true},     {"", true, true},    {"yes", false, false},
      {"fal", true, false},  {"false", true, false}, {"falsey", false, false}, {"truex", false, false},
      {"t", false, false},   // single characters are only 0 or 1
  };
  for (const Case& c : cases) {
    bool out = !c.result;
    EXPECT_EQ(ParseXmlBool(c.value, out), c.ok) << '"' << c.value << '"';
    if (c.ok) {
      EXPECT_EQ(out, c.result) << '"' << c.value << '"';
    }
  }
}

TEST(XmlConversion, Integers) {
  struct Case {
    const char* value;
    bool ok;
    int32_t result;
  } cases[] = {
      {"0x1F", true, 31},   {"0X1f", true, 31},    {" 12", true, 12},       {"12 ", false, 0},
      {"1a", false, 0},     {"-7", true, -7},      {"+7", true, 7},         {" 0x10", true, 16},
      {"", false, 0},       {"0x", false, 0},      {"1F", false, 0},        {"-0x10", false, 0},
      {"2147483647", true, 2147483647},            {"2147483648", false, 0}, {"-2147483648", true, INT32_MIN},
      {"0x7fffffff", true, INT32_MAX},             {"0xFFFFFFFF", false, 0}, {"99999999999999999999", false, 0},
  };
  for (const Case& c : cases) {
    int32_t out = -99;
    EXPECT_EQ(ParseXmlInt(c.value, out), c.ok) << '"' << c.value << '"';
    EXPECT_EQ(out, c.ok ? c.result : -99) << '"' << c.value << '"';
  }
  int32_t out = 0;
  EXPECT_FALSE(ParseXmlInt(std::string("12\0", 3), out));  // stored length counts
}

TEST(XmlConversion, PairsAndFloats) {
  struct PairCase {
    const char* value;
    bool ok;
    int32_t a, b;
  } pairs[] = {
      {"11, 12", true, 11, 12}, {"300,30", true, 300, 30}, {"-1,-2", true, -1, -2},
      {"1 ,2", false, 0, 0},    {"1,,2", false, 0, 0},     {"1,2 ", false, 0, 0},
      {"1,2,3", false, 0, 0},   {",2", false, 0, 0},       {"1,", false, 0, 0},
      {"0x1,2", false, 0, 0},
  };
  for (const PairCase& c : pairs) {
    int32_t a = 5, b = 6;
    EXPECT_EQ(ParseXmlIntPair(c.value, a, b), c.ok) << c.value;
    EXPECT_EQ(a, c.ok ? c.a : 5) << c.value;
    EXPECT_EQ(b, c.ok ? c.b : 6) << c.value;
  }

  struct FloatCase {
    const char* value;
    bool ok;
    float result;
  } floats[] = {{"1.5", true, 1.5f}, {" 2", true, 2.0f}, {"1e-1", true, 0.1f}, {"1.5 ", false, 0},
                {"", false, 0},      {"1,5", false, 0},  {"nan", false, 0},   {"1e300", false, 0}};
  for (const FloatCase& c : floats) {
    float out = -1.0f;
    EXPECT_EQ(ParseXmlFloat(c.value, out), c.ok) << c.value;
    EXPECT_FLOAT_EQ(out, c.ok ? c.result : -1.0f) << c.value;
  }
}

TEST(XmlReaders, TextNeedsTextAsFirstChild) {
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse("<r><plain>a&amp;b</plain><cdata><![CDATA[<x>]]></cdata><empty/>"
                      "<comment><!--c-->t</comment><nested><e/>t</nested><num>0x10</num></r>"),
            tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* root = doc.RootElement();
  std::string text = "keep";
  EXPECT_TRUE(ReadText(root->FirstChildElement("plain"), text));
  EXPECT_EQ(text, "a&b");
  EXPECT_TRUE(ReadText(root->FirstChildElement("cdata"), text));
  EXPECT_EQ(text, "<x>");
  const char* pointer = nullptr;
  EXPECT_TRUE(GetTextPointer(root->FirstChildElement("cdata"), pointer));
  EXPECT_STREQ(pointer, "<x>");
  for (const char* name : {"empty", "comment", "nested", "missing"}) {
    std::string untouched = "keep";
    EXPECT_FALSE(ReadText(root->FirstChildElement(name), untouched)) << name;
    EXPECT_EQ(untouched, "keep");
  }
  int32_t number = 0;
  EXPECT_TRUE(ReadTextInt(root->FirstChildElement("num"), number));
  EXPECT_EQ(number, 16);
}

TEST(XmlReaders, AttributesAndZoom) {
  tinyxml2::XMLDocument doc;
  ASSERT_EQ(doc.Parse(R"(<e s="v" b="fal" i=" 0x1F" p="11, 12" zoom="0.75" bad="1a"/>)"), tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* e = doc.RootElement();
  std::string s;
  EXPECT_TRUE(ReadAttrString(e, "s", s));
  EXPECT_EQ(s, "v");
  const char* p = nullptr;
  EXPECT_TRUE(GetAttrPointer(e, "s", p));
  EXPECT_STREQ(p, "v");
  bool b = true;
  EXPECT_TRUE(ReadAttrBool(e, "b", b));
  EXPECT_FALSE(b);
  int32_t i = 0;
  EXPECT_TRUE(ReadAttrInt(e, "i", i));
  EXPECT_EQ(i, 31);
  int32_t x = 0, y = 0;
  EXPECT_TRUE(ReadAttrIntPair(e, "p", x, y));
  EXPECT_EQ(x, 11);
  EXPECT_EQ(y, 12);
  float zoom = 0;
  EXPECT_TRUE(ReadZoom(e, zoom));
  EXPECT_FLOAT_EQ(zoom, 0.75f);

  i = 3;
  EXPECT_FALSE(ReadAttrInt(e, "bad", i));
  EXPECT_FALSE(ReadAttrInt(e, "missing", i));
  EXPECT_FALSE(ReadAttrString(nullptr, "s", s));
  EXPECT_EQ(i, 3);
}

}  // namespace
