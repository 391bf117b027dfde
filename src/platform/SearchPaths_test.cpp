#include "platform/SearchPaths.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>

#include "platform/TempDir.h"

namespace platform {
namespace {

using Paths = std::vector<std::string>;

// Sets HOME (or removes it, for nullopt) for one test and puts the old value back.
class HomeOverride {
 public:
  explicit HomeOverride(std::optional<std::string> home) {
    if (const char* old = std::getenv("HOME")) old_ = old;
    if (home) {
      ::setenv("HOME", home->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }
  ~HomeOverride() {
    if (old_) {
      ::setenv("HOME", old_->c_str(), 1);
    } else {
      ::unsetenv("HOME");
    }
  }

 private:
  std::optional<std::string> old_;
};

TEST(SearchPaths, LibraryDirectoriesComeInDomainOrder) {
  HomeOverride home("/home/tester");
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
  HomeOverride home("/home/tester/");
  EXPECT_EQ(searchPathForDirectoriesInDomains(kApplicationSupportDirectory, kUserDomainMask),
            Paths{"/home/tester/Library/Application Support"});
  EXPECT_EQ(searchPathForDirectoriesInDomains(kApplicationSupportDirectory,
                                              kLocalDomainMask | kNetworkDomainMask),
            (Paths{"/Library/Application Support", "/Network/Library/Application Support"}));
}

TEST(SearchPaths, HomeComesFromTheEnvironmentElseThePasswordDatabase) {
  {
    HomeOverride home("/somewhere/else");
    EXPECT_EQ(homeDirectory(), "/somewhere/else");
  }
  struct passwd* entry = ::getpwuid(::getuid());
  const std::string expected = entry && entry->pw_dir ? entry->pw_dir : "";
  {
    HomeOverride home(std::nullopt);
    EXPECT_EQ(homeDirectory(), expected);
  }
  {
    HomeOverride home("");
    EXPECT_EQ(homeDirectory(), expected);
    if (!expected.empty()) {
      EXPECT_EQ(searchPathForDirectoriesInDomains(kLibraryDirectory, kUserDomainMask),
                Paths{expected + (expected.back() == '/' ? "" : "/") + "Library"});
    }
  }
}

}  // namespace
}  // namespace platform
