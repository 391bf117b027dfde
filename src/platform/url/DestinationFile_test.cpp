#include "platform/url/DestinationFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace platform {
namespace {

namespace fs = std::filesystem;

class DestinationFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/naib-dest-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string read(const std::string& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string dir_;
};

TEST_F(DestinationFileTest, TakesTheFirstFreeNameAndLeavesOthersAlone) {
  std::ofstream(dir_ + "/f") << "old";
  fs::create_directory(dir_ + "/f-1");
  ASSERT_EQ(::symlink("/nonexistent/target", (dir_ + "/f-2").c_str()), 0);
  auto file = DestinationFile::create(dir_ + "/f", false);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->path(), dir_ + "/f-3");
  ASSERT_TRUE(file->write("new", 3));
  ASSERT_TRUE(file->close());
  EXPECT_EQ(read(dir_ + "/f"), "old");
  EXPECT_FALSE(fs::exists(fs::symlink_status(dir_ + "/f-2")) && fs::exists("/nonexistent/target"));
  EXPECT_EQ(read(dir_ + "/f-3"), "new");
}

TEST_F(DestinationFileTest, OverwriteReplacesTheContent) {
  std::ofstream(dir_ + "/f") << "a much longer old content";
  auto file = DestinationFile::create(dir_ + "/f", true);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->write("new", 3));
  ASSERT_TRUE(file->close());
  EXPECT_EQ(read(dir_ + "/f"), "new");
}

TEST_F(DestinationFileTest, FailuresAreReported) {
  EXPECT_FALSE(DestinationFile::create("", false));
  EXPECT_FALSE(DestinationFile::create(dir_ + "/missing/f", false));
  auto full = DestinationFile::create("/dev/full", true);
  ASSERT_TRUE(full);
  EXPECT_FALSE(full->write("x", 1));
  EXPECT_TRUE(full->close());
  EXPECT_FALSE(full->write("x", 1));  // closed
}

// Pieces of any size land in order across block boundaries; what waits is written by
// close(), dropped by rewind(), and a failing disk shows at the call that writes.
TEST_F(DestinationFileTest, BlocksGatherPiecesInOrder) {
  std::string body;
  for (int i = 0; i < 1000; ++i) body += std::to_string(i) + ",";
  for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{64}, body.size()}) {
    SCOPED_TRACE(piece);
    auto file = DestinationFile::create(dir_ + "/f", true, 64);
    ASSERT_TRUE(file);
    ASSERT_TRUE(file->write("dropped", 7));
    ASSERT_TRUE(file->rewind());
    for (std::size_t at = 0; at < body.size(); at += piece)
      ASSERT_TRUE(file->write(body.data() + at, std::min(piece, body.size() - at)));
    ASSERT_TRUE(file->close());
    EXPECT_EQ(read(dir_ + "/f"), body);
  }
  auto full = DestinationFile::create("/dev/full", true, 64);
  ASSERT_TRUE(full);
  EXPECT_TRUE(full->write("x", 1));
  EXPECT_FALSE(full->flush());
  EXPECT_TRUE(full->write("x", 1));
  EXPECT_FALSE(full->close());
  auto full2 = DestinationFile::create("/dev/full", true, 64);
  EXPECT_FALSE(full2->write(body.data(), 64));  // a whole block is written at once
}

}  // namespace
}  // namespace platform
