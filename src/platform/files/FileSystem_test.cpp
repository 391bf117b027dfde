#include "platform/files/FileSystem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

TEST(PathComponents, LastComponentIgnoresTrailingSlashes) {
  EXPECT_EQ(lastPathComponent("/a/Install Sample.app/Contents/MacOS/Install Sample"),
            "Install Sample");
  EXPECT_EQ(lastPathComponent("relative"), "relative");
  EXPECT_EQ(lastPathComponent("/a/b//"), "b");
  EXPECT_EQ(lastPathComponent("///"), "/");
  EXPECT_EQ(lastPathComponent(""), "");
}

TEST(PathComponents, AppendJoinsWithExactlyOneSlash) {
  EXPECT_EQ(appendPathComponent("/tmp/x", "installer"), "/tmp/x/installer");
  EXPECT_EQ(appendPathComponent("/tmp/x/", "installer"), "/tmp/x/installer");
  EXPECT_EQ(appendPathComponent("", "installer"), "installer");
}

class FileSystemOnDisk : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/naib-fs-test-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string file(const std::string& name, unsigned mode) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path) << "x";
    ::chmod(path.c_str(), mode);
    return path;
  }
  std::string dir_;
};

TEST_F(FileSystemOnDisk, PermissionsAreReadThroughLinksAndWrittenBitForBit) {
  const std::string target = file("installer", 0644);
  const std::string link = dir_ + "/link";
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_EQ(posixPermissions(link), 0644u);
  EXPECT_EQ(resolveSymlinks(link), target);
  ASSERT_TRUE(setPosixPermissions(target, 04700 | 0111));
  EXPECT_EQ(posixPermissions(target), 04711u);
  EXPECT_EQ(posixPermissions(dir_ + "/missing"), std::nullopt);
  EXPECT_FALSE(setPosixPermissions(dir_ + "/missing", 0755));
}

TEST_F(FileSystemOnDisk, ExistenceTellsDirectoriesAndRemovalTakesWholeTrees) {
  bool isDirectory = true;
  EXPECT_TRUE(fileExists(file("f", 0600), isDirectory));
  EXPECT_FALSE(isDirectory);
  const std::string tree = dir_ + "/tree";
  std::filesystem::create_directories(tree + "/a/b");
  std::ofstream(tree + "/a/b/c") << "x";
  EXPECT_TRUE(fileExists(tree, isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_TRUE(isRegularFile(tree + "/a/b/c"));
  EXPECT_FALSE(isRegularFile(tree + "/a/b"));
  EXPECT_FALSE(isRegularFile(tree + "/absent"));
  EXPECT_TRUE(removeItem(tree));
  EXPECT_FALSE(fileExists(tree));
  EXPECT_TRUE(removeItem(tree)) << "an absent path is nothing to fail on";
}

}  // namespace
}  // namespace platform
