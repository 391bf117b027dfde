#include "platform/files/TempDir.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

TEST(TempDir, PrivateDirectoryUnderTmpdirMadeOnceAndRemovedWithItsFiles) {
  char pattern[] = "/tmp/naib-tmpdir-test-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string parent = pattern;
  ::setenv("TMPDIR", parent.c_str(), 1);
  removeTemporaryDirectory();  // start from nothing in this process

  const std::string dir = temporaryDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(fs::path(dir).parent_path(), fs::path(parent));
  struct stat st;
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(temporaryDirectory(), dir);

  std::ofstream(dir + "/file") << "x";
  removeTemporaryDirectory();
  EXPECT_FALSE(fs::exists(dir));
  const std::string next = temporaryDirectory();
  EXPECT_NE(next, dir);
  EXPECT_TRUE(fs::is_directory(next));
  removeTemporaryDirectory();

  // A TMPDIR that cannot take the directory (missing, a file, relative) falls back to /tmp.
  std::ofstream(parent + "/plain") << "x";
  for (const std::string& unusable : {parent + "/missing", parent + "/plain", std::string("rel")}) {
    ::setenv("TMPDIR", unusable.c_str(), 1);
    const std::string fallback = temporaryDirectory();
    EXPECT_EQ(fs::path(fallback).parent_path(), fs::path("/tmp")) << unusable;
    EXPECT_TRUE(fs::is_directory(fallback)) << unusable;
    removeTemporaryDirectory();
  }
  EXPECT_FALSE(fs::exists("rel"));
  ::unsetenv("TMPDIR");
  fs::remove_all(parent);
}

}  // namespace
}  // namespace platform
