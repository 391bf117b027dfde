#include "platform/files/SealedCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace platform {
namespace {

TEST(SealedCopy, OnceSealedNoDescriptorChangesIt) {
  SealedCopy copy("sealed-copy-test");
  ASSERT_GE(copy.descriptor(), 0);
  EXPECT_EQ(::prctl(PR_GET_DUMPABLE), 0);
  EXPECT_EQ(::fcntl(copy.descriptor(), F_GETFD), FD_CLOEXEC);
  ASSERT_EQ(::write(copy.descriptor(), "signed", 6), 6);
  ASSERT_TRUE(copy.seal());
  EXPECT_TRUE(copy.seal()) << "sealed already is sealed";

  // Another descriptor of the same file, as /proc/<pid>/fd would give one.
  const std::string reopened = "/proc/self/fd/" + std::to_string(copy.descriptor());
  const int other = ::open(reopened.c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  const std::function<int(int)> changes[] = {
      [](int fd) { return static_cast<int>(::pwrite(fd, "EVIL", 4, 0)); },
      [](int fd) { return static_cast<int>(::pwrite(fd, "more", 4, 6)); },
      [](int fd) { return ::ftruncate(fd, 2); },
      [](int fd) { return ::ftruncate(fd, 4096); },
      [](int fd) { return ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, 6); },
  };
  for (int fd : {copy.descriptor(), other}) {
    for (const auto& change : changes) EXPECT_LT(change(fd), 0) << "changed through " << fd;
  }
  ::close(other);
  char bytes[16] = {};
  EXPECT_EQ(::pread(copy.descriptor(), bytes, sizeof bytes, 0), 6);
  EXPECT_STREQ(bytes, "signed");
}

}  // namespace
}  // namespace platform
