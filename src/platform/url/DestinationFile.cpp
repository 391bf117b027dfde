#include "platform/url/DestinationFile.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/files/FileSystem.h"

namespace platform {
namespace {

// Enough for any directory a person would fill by hand; beyond it the name is given up
// rather than searched for ever.
constexpr int kMaxNameSuffix = 9999;

int openFile(const std::string& path, int flags) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

std::unique_ptr<DestinationFile> DestinationFile::create(const std::string& path,
                                                         bool allowOverwrite,
                                                         std::size_t blockBytes) {
  if (path.empty()) return nullptr;
  const int base = O_WRONLY | O_CREAT | O_CLOEXEC;
  if (allowOverwrite) {
    int fd = openFile(path, base | O_TRUNC);
    if (fd < 0) return nullptr;
    return std::unique_ptr<DestinationFile>(new DestinationFile(UniqueFd(fd), path, blockBytes));
  }
  // O_EXCL also refuses a symbolic link planted under the name, dangling or not.
  for (int suffix = 0; suffix <= kMaxNameSuffix; ++suffix) {
    std::string candidate = suffix == 0 ? path : path + "-" + std::to_string(suffix);
    int fd = openFile(candidate, base | O_EXCL | O_NOFOLLOW);
    if (fd >= 0) {
      return std::unique_ptr<DestinationFile>(
          new DestinationFile(UniqueFd(fd), std::move(candidate), blockBytes));
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

std::unique_ptr<DestinationFile> DestinationFile::into(int descriptor, std::string name,
                                                       std::size_t blockBytes) {
  UniqueFd fd(::fcntl(descriptor, F_DUPFD_CLOEXEC, 0));
  if (!fd) return nullptr;
  std::unique_ptr<DestinationFile> file(
      new DestinationFile(std::move(fd), std::move(name), blockBytes));
  if (!file->rewind()) return nullptr;
  return file;
}

DestinationFile::DestinationFile(UniqueFd fd, std::string path, std::size_t blockBytes)
    : fd_(std::move(fd)), path_(std::move(path)), blockBytes_(blockBytes) {}

DestinationFile::~DestinationFile() = default;

bool DestinationFile::write(const char* data, std::size_t length) {
  if (!fd_) return false;
  if (blockBytes_ == 0) return writeAll(fd_.get(), data, length);
  if (!block_) block_ = std::make_unique_for_overwrite<char[]>(blockBytes_);
  while (length > 0) {
    const std::size_t n = std::min(length, blockBytes_ - waiting_);
    std::memcpy(block_.get() + waiting_, data, n);
    waiting_ += n;
    data += n;
    length -= n;
    if (waiting_ == blockBytes_ && !flush()) return false;
  }
  return true;
}

bool DestinationFile::flush() {
  if (!fd_) return false;
  const std::size_t n = waiting_;
  waiting_ = 0;
  return writeAll(fd_.get(), block_.get(), n);
}

bool DestinationFile::rewind() {
  if (!fd_) return false;
  waiting_ = 0;
  return ::ftruncate(fd_.get(), 0) == 0 && ::lseek(fd_.get(), 0, SEEK_SET) == 0;
}

bool DestinationFile::close() {
  if (!fd_) return false;
  const bool flushed = flush();
  return fd_.close() && flushed;
}

}  // namespace platform
