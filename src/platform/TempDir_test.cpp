#include "platform/TempDir.h"

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

  ::setenv("TMPDIR", (parent + "/missing").c_str(), 1);
  EXPECT_EQ(temporaryDirectory(), "");
  ::unsetenv("TMPDIR");
  fs::remove_all(parent);
}

}  // namespace
}  // namespace platform
