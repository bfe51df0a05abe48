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
                          "http://h:0/", "http://h:65536/", "http://h:8x/", "http://[::1/"}) {
    EXPECT_FALSE(NetEx::IsHttpUrl(bad)) << bad;
  }
  EXPECT_TRUE(NetEx::IsHttpUrl("http://h"));
}

TEST(UrlTest, TargetEscapesWhatARequestLineCannotCarryAndLengthIsBounded) {
  CUrl url;
  ASSERT_TRUE(url.Parse("http://h"));
  url.SetPath("dir/My File\x01\xC3\xA9.pkg");
  url.AddArg("1.0.2", "");
  EXPECT_EQ(url.Target(), "/dir/My%20File%01%C3%A9.pkg?1.0.2");
  url.SetPath("/p?LANG=en");
  EXPECT_EQ(url.Target(), "/p?LANG=en");
  url.SetPath("/" + std::string(NetEx::kMaxUrlLength, 'a'));
  EXPECT_EQ(url.Full(), "");
}

}  // namespace
