#include "net/url.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using NetEx::CUrl;

TEST(UrlTest, ParsesTheConnectionAndTheRequestParts) {
  CUrl url;
  ASSERT_TRUE(url.Parse("HTTPS://user:pw@Example.COM:8443/a/b.rxml?z=1&a=&m=x#frag"));
  EXPECT_TRUE(url.IsSecure());
  EXPECT_EQ(url.Host(), "example.com");
  EXPECT_EQ(url.Port(), 8443);
  EXPECT_EQ(url.User(), "user");
  EXPECT_EQ(url.Password(), "pw");
  EXPECT_EQ(url.Path(), "/a/b.rxml");
  // Arguments sorted by name; one without a value is written bare.
  EXPECT_EQ(url.Target(), "/a/b.rxml?a&m=x&z=1");
  EXPECT_EQ(url.Base(), "https://example.com:8443");
  EXPECT_EQ(url.Base(true), "https://user:pw@example.com:8443");

  ASSERT_TRUE(url.Parse("http://127.0.0.1:80"));
  EXPECT_EQ(url.Full(), "http://127.0.0.1/");
  ASSERT_TRUE(url.Parse("http://[::1]:8080/x"));
  EXPECT_EQ(url.Host(), "[::1]");
  EXPECT_EQ(url.Port(), 8080);
}

TEST(UrlTest, OnlyHttpAndHttpsWithAHostAndAValidPort) {
  for (const char* bad : {"", "ftp://h/", "file:///etc/passwd", "http://", "http:///path", "//h/x", "h/x",
                          "http://h:0/", "http://h:65536/", "http://h:8x/", "http://[::1/",
                          "http://h:18446744073709551615/", "http://h:18446744073709551696/", "http://h:-1/",
                          "http://a:b:80/", "http://h\x01/", "http://h/p\tq", "http://[::1]x/"}) {
    EXPECT_FALSE(NetEx::IsHttpUrl(bad)) << bad;
  }
  EXPECT_FALSE(NetEx::IsHttpUrl(std::string("http://h/\0cut", 13)));
  EXPECT_TRUE(NetEx::IsHttpUrl("http://h"));
}

// What the transport writes from a parsed URL reads back as the same URL.
TEST(UrlTest, WrittenUrlsParseAgainToTheSameParts) {
  for (const char* text : {"http://h", "https://u:p:w@h.example:8443/a/c%20d?x=1&y", "http://[::1]:8080/x",
                           "http://h:00080/p", "http://h/a?k=v=w"}) {
    SCOPED_TRACE(text);
    CUrl first;
    ASSERT_TRUE(first.Parse(text));
    CUrl again;
    ASSERT_TRUE(again.Parse(first.Full(true)));
    EXPECT_TRUE(again.SameServer(first));
    EXPECT_EQ(again.Path(), first.Path());
    EXPECT_EQ(again.Args(), first.Args());
    EXPECT_EQ(again.Full(true), first.Full(true));
  }
}

TEST(UrlTest, TargetEscapesWhatARequestLineCannotCarryAndLengthIsBounded) {
  CUrl url;
  ASSERT_TRUE(url.Parse("http://h"));
  url.SetPath("dir/My File\x01\xC3\xA9.pkg");
  url.AddArg("1.0.2", "");
  EXPECT_EQ(url.Target(), "/dir/My%20File%01%C3%A9.pkg?1.0.2");
  url.SetPath("/p?LANG=en");
  EXPECT_EQ(url.Target(), "/p?LANG=en");
  // A "#" in a package name or argument is sent, not cut off as a fragment;
  // "&" and "=" never split an argument.
  url.SetPath("/maps#2.pkg");
  url.ClearArgs();
  url.AddArg("a&b=c", "d#e&f=g");
  EXPECT_EQ(url.Target(), "/maps%232.pkg?a%26b%3Dc=d%23e%26f=g");
  url.SetPath("/" + std::string(NetEx::kMaxUrlLength, 'a'));
  EXPECT_EQ(url.Full(), "");
}

}  // namespace
