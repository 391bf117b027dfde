#include "platform/files/HeldFile.h"

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

bool sameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

FileIdentity identityOf(const struct stat& st) {
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

}  // namespace

bool FileIdentity::operator==(const FileIdentity& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         sameTime(modified, other.modified) && sameTime(changed, other.changed);
}

std::optional<FileIdentity> identityOfPath(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return identityOf(st);
}

HeldFile::HeldFile(std::string path) : path_(std::move(path)) {
  // Non-blocking only for the open itself: a FIFO planted at the path must not hang us.
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return;
  fd_.reset(FileDescriptor(fd));
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
    fd_.reset();
  }
}

std::optional<FileIdentity> HeldFile::identity() const {
  struct stat st;
  if (!fd_ || ::fstat(descriptor(), &st) != 0) return std::nullopt;
  return identityOf(st);
}

bool HeldFile::addExecutePermission() {
  struct stat st;
  if (!fd_ || ::fstat(descriptor(), &st) != 0) return false;
  return ::fchmod(descriptor(), (st.st_mode & 07777) | 0111) == 0;
}

bool HeldFile::pathStillNames(const FileIdentity& expected) const {
  return identity() == expected && identityOfPath(path_) == expected;
}

}  // namespace platform
