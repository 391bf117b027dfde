#include "platform/files/HeldFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;

unsigned modeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(HeldFile, ExecutePermissionIsAddedForEveryoneAndNothingElseChanges) {
  ScratchDir dir;
  for (const auto& [before, after] : {std::pair{0644u, 0755u}, {0700u, 0711u}, {04600u, 04711u}}) {
    const std::string path = dir.write("f", "x", before);
    HeldFile file(path);
    EXPECT_TRUE(file.addExecutePermission());
    EXPECT_EQ(modeOf(path), after) << std::oct << before;
  }
}

TEST(HeldFile, OnlyARegularFileNamedDirectlyIsHeld) {
  ScratchDir dir;
  const std::string target = dir.write("target", "x");
  ASSERT_EQ(::symlink(target.c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);  // must not block the open
  for (const std::string& path : {dir / "link", dir / "fifo", dir.mkdirs("folder"), dir / "none"}) {
    HeldFile file(path);
    EXPECT_EQ(file.descriptor(), -1) << path;
    EXPECT_FALSE(file.addExecutePermission()) << path;
  }
}

}  // namespace
}  // namespace platform
