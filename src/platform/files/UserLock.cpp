#include "platform/files/UserLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

// Only the user may have put anything in a directory that nobody else can write to, so
// what is found there is the user's own doing, never another account's trap.
bool isPrivateDirectory(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::unique_ptr<UserLock> UserLock::open(const char* directory, const std::string& name) {
  if (directory == nullptr || directory[0] != '/') return nullptr;
  // Checked and used through one descriptor: the path cannot be swapped in between.
  const UniqueFd dir(::open(directory, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir || !isPrivateDirectory(dir.get())) return nullptr;
  UniqueFd file(::openat(dir.get(), name.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (!file) return nullptr;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid())
    return nullptr;
  if ((st.st_mode & 07777) != 0600 && ::fchmod(file.get(), 0600) != 0) return nullptr;
  return std::unique_ptr<UserLock>(new UserLock(std::move(file)));
}

bool UserLock::tryLock() {
  for (;;) {
    if (::flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) return true;
    if (errno != EINTR) return false;
  }
}

}  // namespace platform
