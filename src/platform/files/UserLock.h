#pragma once
// An advisory lock of one user, on a file in the user's runtime directory: the kernel
// lets one open file hold it at a time and drops it when that file is closed, however the
// process ends.

#include <memory>
#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class UserLock {
 public:
  /// Opens directory/name, creating it with mode 0600, without following a link and
  /// closed on exec, so no child process holds the lock. nullptr, and no file made, when
  /// directory is null, empty or relative, is not a directory of this user, or is
  /// writable by its group or others, or when name is not the user's own regular file.
  static std::unique_ptr<UserLock> open(const char* directory, const std::string& name);
  /// Gives the lock up with the file.
  ~UserLock() = default;

  /// Takes the lock without waiting; true when this file holds it (again is harmless).
  bool tryLock();

 private:
  explicit UserLock(UniqueFd fd) : fd_(std::move(fd)) {}

  UniqueFd fd_;
};

}  // namespace platform
