#include "platform/files/UniqueFd.h"

#include <unistd.h>

namespace platform {

void UniqueFd::reset(int fd) {
  // Never retried on EINTR: on Linux the descriptor is gone whatever close() returns, and
  // a retry could close a number another thread has just been given.
  if (fd_ >= 0) ::close(fd_);
  fd_ = fd < 0 ? -1 : fd;
}

bool UniqueFd::close() {
  if (fd_ < 0) return false;
  return ::close(std::exchange(fd_, -1)) == 0;
}

}  // namespace platform
