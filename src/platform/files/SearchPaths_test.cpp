#include "platform/files/SearchPaths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/files/TempDir.h"
#include "platform/testing/ScopedEnvVar.h"

namespace platform {
namespace {

using Paths = std::vector<std::string>;

TEST(SearchPaths, LibraryDirectoriesComeInDomainOrder) {
  testing::ScopedEnvVar home("HOME", "/home/tester");
  EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, 14),
            (Paths{"/Library", "/Network/Library", "/System/Library"}));
  EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, 15),
            (Paths{"/home/tester/Library", "/Library", "/Network/Library", "/System/Library"}));
  EXPECT_EQ(
      searchPathForDirectoriesInDomains(kLibraryDirectory, kSystemDomainMask | kUserDomainMask),
      (Paths{"/home/tester/Library", "/System/Library"}));
  EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, 0), Paths{});
  EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, 16), Paths{});
}

TEST(SearchPaths, ApplicationSupportLivesInEachLibrary) {
  testing::ScopedEnvVar home("HOME", "/home/tester/");
  EXPECT_EQ(searchPathForDirectoriesInDomains(kApplicationSupportDirectory, kUserDomainMask),
            Paths{"/home/tester/Library/Application Support"});
  EXPECT_EQ(searchPathForDirectoriesInDomains(kApplicationSupportDirectory,
                                              kLocalDomainMask | kNetworkDomainMask),
            (Paths{"/Library/Application Support", "/Network/Library/Application Support"}));
}

TEST(SearchPaths, HomeComesFromTheEnvironmentElseThePasswordDatabase) {
  {
    testing::ScopedEnvVar home("HOME", "/somewhere/else");
    EXPECT_EQ(homeDirectory(), "/somewhere/else");
  }
  struct passwd* entry = ::getpwuid(::getuid());
  const std::string expected = entry && entry->pw_dir ? entry->pw_dir : "";
  {
    testing::ScopedEnvVar home("HOME", std::nullopt);
    EXPECT_EQ(homeDirectory(), expected);
  }
  {
    testing::ScopedEnvVar home("HOME", "");
    EXPECT_EQ(homeDirectory(), expected);
    if (!expected.empty()) {
      EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, kUserDomainMask),
                Paths{expected + (expected.back() == '/' ? "" : "/") + "Library"});
    }
  }
}

}  // namespace
}  // namespace platform
