#include "platform/url/TreePath.h"

#include <gtest/gtest.h>

namespace platform {
namespace {

TEST(TreePath, UrlsMapToFilesInsideTheTree) {
  const std::pair<const char*, const char*> cases[] = {
      {"http://download.example/orvel/3/nai/macos10.6/x86/installer.p7",
       "orvel/3/nai/macos10.6/x86/installer.p7"},
      {"http://127.0.0.1:8000/crl/root.crl", "crl/root.crl"},
      {"https://h/with%20blank.crl", "with blank.crl"},
      // Dot segments are resolved as the client resolves them before it asks.
      {"http://h/../etc/passwd", "etc/passwd"},
      // None of these names one file inside a tree.
      {"http://h/a/%2e%2e/%2e%2e/x", nullptr},
      {"http://h/a%2fb", nullptr},
      {"http://h/a%00b", nullptr},
      {"http://h/a//b", nullptr},
      {"http://h/dir/", nullptr},
      {"http://h/", nullptr},
      {"http://h/x.crl?v=2", nullptr},
      {"ldap://h/x.crl", nullptr},
  };
  for (const auto& [url, expected] : cases) {
    std::string why;
    const auto path = treePathForUrl(url, why);
    if (expected == nullptr) {
      EXPECT_FALSE(path) << url << " gave " << path.value_or("");
      EXPECT_FALSE(why.empty()) << url;
    } else {
      EXPECT_EQ(path.value_or("(none)"), expected) << url << ": " << why;
    }
  }
}

}  // namespace
}  // namespace platform
