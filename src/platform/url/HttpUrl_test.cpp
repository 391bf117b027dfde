#include "platform/url/HttpUrl.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

using Segments = std::vector<std::string>;

TEST(HttpUrl, PartsOfHttpUrls) {
  auto url = parseHttpUrl("http://crl.example:8000/a/b%2Fc/d%20e.crl");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme, "http");
  EXPECT_EQ(url->authority(), "crl.example:8000");
  // Decoded segment by segment: the encoded "/" stays inside its segment.
  EXPECT_EQ(url->pathSegments, (Segments{"a", "b/c", "d e.crl"}));
  EXPECT_FALSE(url->hasQuery || url->hasFragment);

  url = parseHttpUrl("HTTPS://Example.org/x?y#z");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->scheme, "https");
  EXPECT_EQ(url->authority(), "Example.org");
  EXPECT_TRUE(url->hasQuery && url->hasFragment);
  EXPECT_EQ(parseHttpUrl("http://h")->pathSegments, Segments{});
  EXPECT_EQ(parseHttpUrl("http://h/a//b/")->pathSegments, (Segments{"a", "", "b", ""}));

  for (const char* bad : {"ldap://h/x", "file:///etc/passwd", "/relative", "http://", ""}) {
    EXPECT_FALSE(parseHttpUrl(bad)) << bad;
  }
  EXPECT_FALSE(parseHttpUrl(std::string("http://h/a\0b", 12)));
}

}  // namespace
}  // namespace platform
