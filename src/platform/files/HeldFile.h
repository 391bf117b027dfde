#pragma once
// A file held open by one descriptor, so that what is read and changed is one file,
// whatever happens to its path meanwhile.

#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class HeldFile {
 public:
  /// Opens path for reading and writing, else for reading. Not open (descriptor() is -1)
  /// when it cannot be opened, is a symbolic link, or is not a regular file.
  explicit HeldFile(std::string path);

  const std::string& path() const { return path_; }
  /// The descriptor, positioned wherever the last reader left it; -1 when not open.
  int descriptor() const { return fd_.get(); }
  /// Adds execute permission for owner, group and others through the descriptor; true when
  /// it was written.
  bool addExecutePermission();

 private:
  std::string path_;
  UniqueFd fd_;
};

}  // namespace platform
