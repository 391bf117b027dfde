#include "tools/bundle/ArchiveWriter.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <vector>

#include "platform/testing/ScratchDir.h"

namespace tools {
namespace {

using platform::testing::ScratchDir;

struct Read {
  std::string name;
  unsigned mode;  // type and permission bits
  long long mtime;
  std::string detail;  // a link's target, a small file's bytes
  bool operator==(const Read&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Read& r) {
  return out << r.name << " " << std::oct << r.mode << std::dec << " " << r.mtime << " "
             << r.detail;
}

/// Every entry of a .tar.gz, through libarchive's reader; checks owner and group 0.
std::vector<Read> readArchive(const std::string& path) {
  std::unique_ptr<archive, decltype(&archive_read_free)> a(archive_read_new(), archive_read_free);
  archive_read_support_filter_gzip(a.get());
  archive_read_support_format_tar(a.get());
  std::vector<Read> entries;
  if (archive_read_open_filename(a.get(), path.c_str(), 1 << 16) != ARCHIVE_OK) return entries;
  archive_entry* entry = nullptr;
  while (archive_read_next_header(a.get(), &entry) == ARCHIVE_OK) {
    EXPECT_EQ(archive_entry_uid(entry), 0);
    EXPECT_EQ(archive_entry_gid(entry), 0);
    std::string detail;
    if (const char* link = archive_entry_symlink(entry)) detail = link;
    if (archive_entry_size(entry) > 0 && archive_entry_size(entry) < 4096) {
      detail.resize(static_cast<size_t>(archive_entry_size(entry)));
      archive_read_data(a.get(), detail.data(), detail.size());
    }
    entries.push_back({archive_entry_pathname(entry), archive_entry_mode(entry),
                       archive_entry_mtime(entry), detail});
  }
  return entries;
}

void setTime(const std::string& path, long long seconds) {
  const timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

class ArchiveWriterTest : public ::testing::Test {
 protected:
  ArchiveWriterTest() {
    request.appName = "Sample";
    request.bundle = dir.mkdirs("out/Install Sample.app");
    request.launcher = dir.write("launcher", "ELF", 0700);
    request.outputDir = dir / "out";
    dir.write("out/Install Sample.app/Contents/MacOS/Install Sample", "prog", 0700);
    dir.write("out/Install Sample.app/Contents/Resources/Sample/data", "data", 0640);
    dir.write("out/Install Sample.app/Contents/Resources/Sample/setid", "sid", 04755);
    ::chmod((dir / "out/Install Sample.app/Contents/Resources").c_str(), 0700);
    std::filesystem::create_symlink("data",
                                    dir / "out/Install Sample.app/Contents/Resources/Sample/link");
  }
  std::string archivePath() const { return dir / "out/Install Sample.tar.gz"; }

  ScratchDir dir;
  ArchiveRequest request;
};

TEST_F(ArchiveWriterTest, EntriesAreSortedWithFixedOwnersModesAndTime) {
  request.sourceDateEpoch = "1700000000";
  ASSERT_EQ(checkArchive(request), "");
  ASSERT_EQ(writeArchive(request), "");
  const long long t = 1700000000;
  const std::string top = "Install Sample/";
  const std::string app = top + "Install Sample.app/Contents/";
  std::vector<Read> entries = readArchive(archivePath());
  ASSERT_EQ(entries.size(), 12u);
  EXPECT_EQ(entries.back().name, top + "README.txt");
  EXPECT_NE(entries.back().detail.find("copy the whole folder"), std::string::npos);
  entries.pop_back();
  EXPECT_EQ(entries, (std::vector<Read>{
                         {top, 040755, t, ""},
                         {top + "Install Sample", 0100755, t, "ELF"},
                         {top + "Install Sample.app/", 040755, t, ""},
                         {app, 040755, t, ""},
                         {app + "MacOS/", 040755, t, ""},
                         {app + "MacOS/Install Sample", 0100755, t, "prog"},
                         {app + "Resources/", 040755, t, ""},
                         {app + "Resources/Sample/", 040755, t, ""},
                         {app + "Resources/Sample/data", 0100644, t, "data"},
                         {app + "Resources/Sample/link", 0120777, t, "data"},
                         {app + "Resources/Sample/setid", 0100755, t, "sid"},
                     }));
  // The gzip header carries neither a time nor a file name.
  std::ifstream in(archivePath(), std::ios::binary);
  const std::string head(std::istreambuf_iterator<char>(in), {});
  EXPECT_EQ(head.substr(3, 5), std::string("\0\0\0\0\0", 5));
}

TEST_F(ArchiveWriterTest, WithoutSourceDateEpochTheNewestInputGivesTheTime) {
  const std::string package = dir.write("package/deep/file", "x");
  setTime(package, 3000);
  setTime(dir / "package/deep", 2000);
  setTime(dir / "package", 1000);
  setTime(request.launcher, 2500);
  request.inputs = {dir / "package", request.launcher};
  ASSERT_EQ(writeArchive(request), "");
  for (const Read& entry : readArchive(archivePath())) EXPECT_EQ(entry.mtime, 3000) << entry;
}

TEST_F(ArchiveWriterTest, Refusals) {
  dir.write("out/Install Taken.tar.gz", "");
  const struct {
    const char* app;
    const char* launcher;
    std::optional<std::string> epoch;
    bool force;
    const char* problem;
  } rows[] = {
      {"Sample", "launcher", "0", false, ""},
      {"Sample", "launcher", "253402300799", false, ""},
      {"Sample", "absent", std::nullopt, false, "no launcher at"},
      {"Sample", "launcher", "", false, "SOURCE_DATE_EPOCH \"\" is not a number"},
      {"Sample", "launcher", "-1", false, "is not a number"},
      {"Sample", "launcher", "17e8", false, "is not a number"},
      {"Sample", "launcher", "99999999999999999999", false, "is not a number"},
      {"Taken", "launcher", std::nullopt, false, "Install Taken.tar.gz exists (use --force"},
      {"Taken", "launcher", std::nullopt, true, ""},
  };
  for (const auto& row : rows) {
    request.appName = row.app;
    request.launcher = dir / row.launcher;
    request.sourceDateEpoch = row.epoch;
    request.force = row.force;
    const std::string problem = checkArchive(request);
    EXPECT_EQ(problem.empty(), *row.problem == '\0') << row.app << " " << problem;
    EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
  }
}

TEST_F(ArchiveWriterTest, ALinkOutOfTheBundleLeavesNothingBehind) {
  std::filesystem::create_symlink("../../../..", dir / "out/Install Sample.app/Contents/up");
  request.sourceDateEpoch = "0";
  EXPECT_NE(writeArchive(request).find("leads outside the bundle"), std::string::npos);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir / "out")) {
    left.push_back(entry.path().filename());
  }
  EXPECT_EQ(left, std::vector<std::string>{"Install Sample.app"});
}

}  // namespace
}  // namespace tools
