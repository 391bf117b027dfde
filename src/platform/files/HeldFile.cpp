#include "platform/files/HeldFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

HeldFile::HeldFile(std::string path) : path_(std::move(path)) {
  // Non-blocking only for the open itself: a FIFO planted at the path must not hang us.
  const int flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
  fd_.reset(::open(path_.c_str(), O_RDWR | flags));
  if (!fd_) fd_.reset(::open(path_.c_str(), O_RDONLY | flags));
  if (!fd_) return;
  const int fd = fd_.get();
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    fd_.reset();
  }
}

bool HeldFile::addExecutePermission() {
  struct stat st;
  if (!fd_ || ::fstat(descriptor(), &st) != 0) return false;
  return ::fchmod(descriptor(), (st.st_mode & 07777) | 0111) == 0;
}

}  // namespace platform
