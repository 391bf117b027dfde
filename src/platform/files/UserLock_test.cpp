#include "platform/files/UserLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runloop/Task.h"
#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;

constexpr char kName[] = "install.lock";

TEST(UserLock, OnlyAPrivateDirectoryOfTheUserHoldsALock) {
  ScratchDir scratch;
  struct Row {
    const char* what;
    std::string directory;
    unsigned mode;
  };
  const std::vector<Row> rows = {{"group-writable", scratch.mkdirs("group"), 0770},
                                 {"world-writable", scratch.mkdirs("world"), 01777},
                                 {"a file", scratch.write("file", ""), 0700},
                                 {"missing", scratch / "missing", 0700},
                                 {"relative", "run/user", 0700}};
  for (const Row& row : rows) {
    ::chmod(row.directory.c_str(), row.mode);
    EXPECT_EQ(UserLock::open(row.directory.c_str(), kName), nullptr) << row.what;
    EXPECT_NE(::access((row.directory + "/" + kName).c_str(), F_OK), 0) << row.what;
  }
  EXPECT_EQ(UserLock::open(nullptr, kName), nullptr);
  EXPECT_EQ(UserLock::open("", kName), nullptr);

  const std::string mine = scratch.mkdirs("mine");
  ::chmod(mine.c_str(), 0700);
  ASSERT_EQ(::symlink("/etc/passwd", (mine + "/link").c_str()), 0);
  EXPECT_EQ(UserLock::open(mine.c_str(), "link"), nullptr) << "a link is never followed";
  const mode_t previous = ::umask(0);
  EXPECT_NE(UserLock::open(mine.c_str(), kName), nullptr);
  ::umask(previous);
  struct stat st {};
  ASSERT_EQ(::stat((mine + "/" + kName).c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
}

TEST(UserLock, OneHolderAtATimeAndNeverAChildThatOutlivesIt) {
  ScratchDir scratch;
  const std::string dir = scratch.mkdirs("run");
  ::chmod(dir.c_str(), 0700);
  auto first = UserLock::open(dir.c_str(), kName);
  auto second = UserLock::open(dir.c_str(), kName);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(first->tryLock());
  EXPECT_TRUE(first->tryLock());
  EXPECT_FALSE(second->tryLock());
  // A child that lives on after its parent let go would keep an inherited lock.
  ASSERT_EQ(runTask("/bin/sh", {"-c", "sleep 3 >/dev/null 2>&1 &"}), 0);
  first.reset();
  EXPECT_TRUE(second->tryLock());
}

}  // namespace
}  // namespace platform
