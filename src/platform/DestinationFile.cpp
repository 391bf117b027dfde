#include "platform/DestinationFile.h"

#include <errno.h>
#include <fcntl.h>
#include <unistd.h>

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

void FileDescriptorCloser::operator()(FileDescriptor d) const {
  ::close(d.fd);
}

std::unique_ptr<DestinationFile> DestinationFile::create(const std::string& path,
                                                         bool allowOverwrite) {
  if (path.empty()) return nullptr;
  const int base = O_WRONLY | O_CREAT | O_CLOEXEC;
  if (allowOverwrite) {
    int fd = openFile(path, base | O_TRUNC);
    if (fd < 0) return nullptr;
    return std::unique_ptr<DestinationFile>(new DestinationFile(FdPtr(FileDescriptor(fd)), path));
  }
  // O_EXCL also refuses a symbolic link planted under the name, dangling or not.
  for (int suffix = 0; suffix <= kMaxNameSuffix; ++suffix) {
    std::string candidate = suffix == 0 ? path : path + "-" + std::to_string(suffix);
    int fd = openFile(candidate, base | O_EXCL | O_NOFOLLOW);
    if (fd >= 0) {
      return std::unique_ptr<DestinationFile>(
          new DestinationFile(FdPtr(FileDescriptor(fd)), std::move(candidate)));
    }
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

DestinationFile::~DestinationFile() = default;

bool DestinationFile::write(const char* data, std::size_t length) {
  if (!fd_) return false;
  while (length > 0) {
    ssize_t n = ::write(fd_.get().fd, data, length);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    length -= static_cast<std::size_t>(n);
  }
  return true;
}

bool DestinationFile::rewind() {
  if (!fd_) return false;
  return ::ftruncate(fd_.get().fd, 0) == 0 && ::lseek(fd_.get().fd, 0, SEEK_SET) == 0;
}

bool DestinationFile::close() {
  if (!fd_) return false;
  return ::close(fd_.release().fd) == 0;
}

}  // namespace platform
