#include "platform/files/SealedCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {
namespace {

// The installer scenarios write through another descriptor of the sealed copy; resizing it
// and punching holes into it are what they do not try.
TEST(SealedCopy, OnceSealedItKeepsItsSizeAndBytes) {
  SealedCopy copy("sealed-copy-test");
  ASSERT_EQ(::write(copy.descriptor(), "signed", 6), 6);
  ASSERT_TRUE(copy.seal());
  const UniqueFd other(
      ::open(("/proc/self/fd/" + std::to_string(copy.descriptor())).c_str(), O_RDWR));
  for (int fd : {copy.descriptor(), other.get()}) {
    EXPECT_NE(::ftruncate(fd, 2), 0);
    EXPECT_NE(::ftruncate(fd, 4096), 0);
    EXPECT_NE(::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 0, 6), 0);
  }
  char bytes[8] = {};
  EXPECT_EQ(::pread(copy.descriptor(), bytes, sizeof bytes, 0), 6);
  EXPECT_STREQ(bytes, "signed");
}

}  // namespace
}  // namespace platform
