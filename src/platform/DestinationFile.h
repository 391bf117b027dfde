#pragma once
// The file a transfer writes into: created only when asked, never over an existing file
// unless overwriting is allowed, written in full or not at all.

#include <cstddef>
#include <memory>
#include <string>

namespace platform {

/// A file descriptor that std::unique_ptr can own: -1 is the null value.
struct FileDescriptor {
  int fd;
  FileDescriptor(std::nullptr_t = nullptr) : fd(-1) {}
  explicit FileDescriptor(int value) : fd(value) {}
  explicit operator bool() const { return fd >= 0; }
  bool operator==(const FileDescriptor&) const = default;
};
struct FileDescriptorCloser {
  using pointer = FileDescriptor;
  void operator()(FileDescriptor d) const;
};

class DestinationFile {
 public:
  /// Creates the file. Without allowOverwrite an existing entry stays untouched and the
  /// first free name of path, path-1, path-2, … is created exclusively. Returns nullptr
  /// when no file could be created.
  static std::unique_ptr<DestinationFile> create(const std::string& path, bool allowOverwrite);

  ~DestinationFile();
  DestinationFile(const DestinationFile&) = delete;
  DestinationFile& operator=(const DestinationFile&) = delete;

  /// The path actually created.
  const std::string& path() const { return path_; }
  /// Writes every byte; false on any error, a full disk or a write that makes no progress.
  bool write(const char* data, std::size_t length);
  /// Empties the file; the next write starts at its beginning. False on any error.
  bool rewind();
  /// Closes the file; false when the system reports that written data was lost. Later
  /// writes fail.
  bool close();

 private:
  using FdPtr = std::unique_ptr<FileDescriptor, FileDescriptorCloser>;

  DestinationFile(FdPtr fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  FdPtr fd_;
  std::string path_;
};

}  // namespace platform
