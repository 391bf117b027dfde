#include "platform/files/FileCopy.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <optional>

#include "platform/files/UniqueFd.h"
#include "platform/runloop/RunLoop.h"
#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(FileCopy, CopiesEveryByteOfAReadOnlySourcePieceByPieceIntoAFreeName) {
  testing::ScratchDir scratch;
  std::string bytes(2 * kCopyPieceBytes + 3, '\0');
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 131 + i / 7);
  const std::string source = scratch.write("source", bytes, 0444);
  scratch.write("taken", "already here");
  std::vector<std::int64_t> progress;
  std::optional<std::string> end;
  std::string why;
  auto copy =
      FileCopy::start(source, scratch.path() + "/taken", 1 << 30,
                      {[&](std::int64_t copied, std::int64_t) { progress.push_back(copied); },
                       [&] { end = ""; }, [&](const std::string& reason) { end = reason; }},
                      why);
  ASSERT_TRUE(copy) << why;
  EXPECT_FALSE(end) << "never inside start()";
  ASSERT_TRUE(runMainLoopUntil([&] { return end.has_value(); }, 10000));
  EXPECT_EQ(end, "");
  EXPECT_EQ(copy->destinationPath(), scratch.path() + "/taken-1");
  EXPECT_EQ(readAll(copy->destinationPath()), bytes);
  EXPECT_EQ(readAll(scratch.path() + "/taken"), "already here");
  const auto piece = static_cast<std::int64_t>(kCopyPieceBytes);
  EXPECT_EQ(progress, (std::vector<std::int64_t>{piece, 2 * piece, 2 * piece + 3}));
}

TEST(FileCopy, SourcesThatCannotBeCopiedAreRefusedAtTheStart) {
  testing::ScratchDir scratch;
  const std::string fifo = scratch.path() + "/fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::pair<std::string, std::string> cases[] = {
      {scratch.path() + "/absent", "cannot read"},
      {scratch.path(), "is not a regular file"},
      {fifo, "is not a regular file"},  // and the open does not wait for a writer
      {scratch.write("big", std::string(100, 'b')), "is larger than 99 bytes"},
  };
  for (const auto& [source, phrase] : cases) {
    std::string why;
    EXPECT_FALSE(FileCopy::start(source, scratch.path() + "/out", 99, {}, why));
    EXPECT_NE(why.find(phrase), std::string::npos) << source << ": " << why;
  }
  EXPECT_EQ(::access((scratch.path() + "/out").c_str(), F_OK), -1) << "nothing created";
}

// Each way the kernel refuses falls to the next, and the bytes arrive all the same:
// copy_file_range takes no pipe and no memory file of another filesystem; sendfile takes
// the latter.
TEST(CopyPiece, WhereTheKernelRefusesAWayTheNextCarriesTheBytes) {
  testing::ScratchDir scratch;
  const std::string in = scratch.write("in", "carried bytes");
  struct Row {
    const char* name;
    bool fromPipe;
    CopyWay last;
  };
  for (const Row& row : {Row{"pipe into memory", true, CopyWay::kPlain},
                         Row{"file into memory", false, CopyWay::kSend}}) {
    SCOPED_TRACE(row.name);
    int pipeFds[2];
    ASSERT_EQ(::pipe(pipeFds), 0);
    UniqueFd pipeIn(pipeFds[0]);
    UniqueFd writeEnd(pipeFds[1]);
    ASSERT_EQ(::write(writeEnd.get(), "carried bytes", 13), 13);
    writeEnd.reset();
    const UniqueFd from(row.fromPipe ? std::move(pipeIn) : UniqueFd(::open(in.c_str(), O_RDONLY)));
    const UniqueFd to(::memfd_create("to", MFD_CLOEXEC));
    CopyWay way = CopyWay::kRange;
    std::vector<char> buffer;
    std::int64_t copied = 0;
    for (std::int64_t n; (n = copyPiece(from.get(), to.get(), 5, way, buffer)) > 0;) copied += n;
    EXPECT_EQ(copied, 13);
    EXPECT_EQ(way, row.last);
    EXPECT_EQ(readAll("/proc/self/fd/" + std::to_string(to.get())), "carried bytes");
  }
}

}  // namespace
}  // namespace platform
