#include "platform/files/FileCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "platform/runloop/RunLoop.h"
#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string pattern(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + i / 7) & 0xff);
  return bytes;
}

struct Outcome {
  std::vector<std::int64_t> progress;
  std::optional<std::string> failure;  ///< "" when finished
};

class FileCopyTest : public ::testing::Test {
 protected:
  std::string write(const std::string& name, const std::string& bytes) {
    const std::string path = scratch_.path() + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  /// Runs one copy to its end; nullopt outcome when it could not start (why set).
  std::unique_ptr<FileCopy> run(const std::string& source, const std::string& destination,
                                std::int64_t maxBytes, Outcome& outcome, std::string& why) {
    auto copy = FileCopy::start(
        source, destination, maxBytes,
        {[&](std::int64_t copied, std::int64_t) { outcome.progress.push_back(copied); },
         [&] { outcome.failure = ""; }, [&](const std::string& r) { outcome.failure = r; }},
        why);
    EXPECT_FALSE(outcome.failure) << "never inside start()";
    if (copy) {
      EXPECT_TRUE(runMainLoopUntil([&] { return outcome.failure.has_value(); }, 10000));
    }
    return copy;
  }

  testing::ScratchDir scratch_;
};

TEST_F(FileCopyTest, CopiesEveryByteOfAReadOnlySourceInPiecesIntoAFreeName) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, 2 * kCopyPieceBytes + 3}) {
    SCOPED_TRACE(size);
    const std::string bytes = pattern(size);
    const std::string source = write("source", bytes);
    ::chmod(source.c_str(), 0444);
    write("taken", "already here");
    Outcome outcome;
    std::string why;
    auto copy = run(source, scratch_.path() + "/taken", 1 << 30, outcome, why);
    ASSERT_TRUE(copy) << why;
    EXPECT_EQ(outcome.failure, "");
    EXPECT_EQ(copy->destinationPath(), scratch_.path() + "/taken-1");
    EXPECT_EQ(readAll(copy->destinationPath()), bytes);
    EXPECT_EQ(readAll(scratch_.path() + "/taken"), "already here");
    EXPECT_EQ(outcome.progress.size(), (size + kCopyPieceBytes - 1) / kCopyPieceBytes);
    if (size > 0) {
      EXPECT_EQ(outcome.progress.back(), static_cast<std::int64_t>(size));
    }
    ::unlink(copy->destinationPath().c_str());
    ::unlink(source.c_str());
  }
}

TEST_F(FileCopyTest, SourcesThatCannotBeCopiedAreRefusedAtTheStart) {
  const std::string fifo = scratch_.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string big = write("big", pattern(100));
  const std::pair<std::string, std::string> cases[] = {
      {scratch_.path() + "/absent", "cannot read"},
      {scratch_.path(), "is not a regular file"},
      {fifo, "is not a regular file"},  // and the open does not wait for a writer
      {big, "is larger than 99 bytes"},
  };
  for (const auto& [source, phrase] : cases) {
    Outcome outcome;
    std::string why;
    EXPECT_FALSE(run(source, scratch_.path() + "/out", 99, outcome, why));
    EXPECT_NE(why.find(phrase), std::string::npos) << source << ": " << why;
  }
  EXPECT_EQ(::access((scratch_.path() + "/out").c_str(), F_OK), -1) << "nothing created";
}

TEST_F(FileCopyTest, DestroyedBeforeItsFirstPieceItCallsNothing) {
  Outcome outcome;
  std::string why;
  auto copy = FileCopy::start(
      write("source", pattern(1000)), scratch_.path() + "/out", 1 << 20,
      {[&](std::int64_t c, std::int64_t) { outcome.progress.push_back(c); },
       [&] { outcome.failure = ""; }, [&](const std::string& r) { outcome.failure = r; }},
      why);
  ASSERT_TRUE(copy);
  copy.reset();
  runMainLoopUntil([] { return false; }, 100);
  EXPECT_TRUE(outcome.progress.empty());
  EXPECT_FALSE(outcome.failure);
}

TEST(CopyPiece, WhereTheKernelRefusesItReadsAndWritesInstead) {
  // copy_file_range takes no pipe: the fallback must carry the bytes all the same.
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  ASSERT_EQ(::write(pipeFds[1], "carried bytes", 13), 13);
  ::close(pipeFds[1]);
  testing::ScratchDir scratch;
  const std::string out = scratch.path() + "/out";
  const int to = ::open(out.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  bool plain = false;
  std::vector<char> buffer;
  EXPECT_EQ(copyPiece(pipeFds[0], to, 1 << 20, plain, buffer), 13);
  EXPECT_TRUE(plain);
  EXPECT_EQ(copyPiece(pipeFds[0], to, 1 << 20, plain, buffer), 0);
  ::close(to);
  ::close(pipeFds[0]);
  EXPECT_EQ(readAll(out), "carried bytes");
}

}  // namespace
}  // namespace platform
