#include "platform/files/HeldFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;

unsigned modeOf(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(HeldFile, EveryChangeAfterTheRecordIsSeenThroughThePathOrTheDescriptor) {
  struct Case {
    const char* what;
    std::function<void(const ScratchDir&, const std::string&)> change;
  };
  const Case cases[] = {
      {"appended",
       [](const ScratchDir&, const std::string& p) {
         FILE* f = std::fopen(p.c_str(), "ab");
         std::fputs("more", f);
         std::fclose(f);
       }},
      {"same length rewritten, mtime put back",
       [](const ScratchDir&, const std::string& p) {
         struct stat before;
         ::stat(p.c_str(), &before);
         FILE* f = std::fopen(p.c_str(), "r+b");
         std::fputs("EVIL", f);
         std::fclose(f);
         const timespec times[2] = {before.st_atim, before.st_mtim};
         ::utimensat(AT_FDCWD, p.c_str(), times, 0);
       }},
      {"permissions changed",
       [](const ScratchDir&, const std::string& p) { ::chmod(p.c_str(), 0777); }},
      {"replaced by rename",
       [](const ScratchDir& dir, const std::string& p) {
         ::rename(dir.write("other", "good").c_str(), p.c_str());
       }},
      {"replaced by a link",
       [](const ScratchDir& dir, const std::string& p) {
         ::unlink(p.c_str());
         ::symlink(dir.write("other", "good").c_str(), p.c_str());
       }},
      {"its folder swapped",
       [](const ScratchDir& dir, const std::string& p) {
         ::rename((dir / "d").c_str(), (dir / "d.old").c_str());
         dir.write("d/installer", "good", 0755);
         (void)p;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ScratchDir dir;
    const std::string path = dir.write("d/installer", "good", 0644);
    HeldFile file(path);
    ASSERT_GE(file.descriptor(), 0);
    ASSERT_TRUE(file.addExecutePermission());
    const auto recorded = file.identity();
    ASSERT_TRUE(recorded);
    EXPECT_TRUE(file.pathStillNames(*recorded));
    // A tick of the file system's clock, so a change cannot share the recorded times.
    ::usleep(20000);
    c.change(dir, path);
    EXPECT_FALSE(file.pathStillNames(*recorded));
  }
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
    EXPECT_EQ(file.identity(), std::nullopt) << path;
    EXPECT_FALSE(file.addExecutePermission()) << path;
  }
}

}  // namespace
}  // namespace platform
