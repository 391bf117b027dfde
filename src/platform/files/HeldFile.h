#pragma once
// A file held open by one descriptor, so that what is read, changed and finally checked is
// one file, whatever happens to its path meanwhile.

#include <sys/stat.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/url/DestinationFile.h"

namespace platform {

/// One state of one file: which file (device and inode) and its size, modification and
/// status-change times. A write, truncation, permission change or replacement changes at
/// least one of them, and nobody can set the status-change time back.
struct FileIdentity {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileIdentity& other) const;
};

/// The identity of what path names now, links followed as exec follows them; nullopt when
/// it cannot be read.
std::optional<FileIdentity> identityOfPath(const std::string& path);

class HeldFile {
 public:
  /// Opens path for reading. Not open (descriptor() is -1) when it cannot be opened, is a
  /// symbolic link, or is not a regular file.
  explicit HeldFile(std::string path);

  const std::string& path() const { return path_; }
  /// The descriptor, positioned wherever the last reader left it; -1 when not open.
  int descriptor() const { return fd_.get().fd; }
  /// The open file's identity now; nullopt when not open.
  std::optional<FileIdentity> identity() const;
  /// Adds execute permission for owner, group and others through the descriptor; true when
  /// it was written.
  bool addExecutePermission();
  /// True when both the open file and what path names now are exactly expected.
  bool pathStillNames(const FileIdentity& expected) const;

 private:
  std::string path_;
  std::unique_ptr<FileDescriptor, FileDescriptorCloser> fd_;
};

}  // namespace platform
