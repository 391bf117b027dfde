#pragma once
// A file written beside its final place and renamed into it only when complete, so that a
// reader (a web server, a person) never sees a half-written file, and nothing is left
// behind when the tool gives up.

#include <string>

#include "platform/files/UniqueFd.h"

namespace tools {

class StagedFile {
 public:
  /// Creates a hidden temporary file in the folder of finalPath (which must exist).
  /// ok() tells whether that worked; error() says why not.
  explicit StagedFile(std::string finalPath);
  /// Removes the temporary file unless commit() succeeded.
  ~StagedFile();
  StagedFile(const StagedFile&) = delete;
  StagedFile& operator=(const StagedFile&) = delete;

  bool ok() const { return static_cast<bool>(fd_); }
  const std::string& error() const { return error_; }
  /// The temporary file's path, to write through other means (a library's file BIO).
  const std::string& path() const { return path_; }
  /// The temporary file's descriptor, to write through a library that takes one; it stays
  /// owned by the StagedFile, which closes it.
  int fd() const { return fd_.get(); }

  /// Appends bytes; false (with error()) when they cannot all be written.
  bool write(const std::string& bytes);
  /// Appends the contents of the file at source, streamed; false with error() on failure.
  bool copyFrom(const std::string& source);
  /// Gives the file mode and renames it over the final path; false with error() on failure.
  bool commit(unsigned mode);

 private:
  std::string finalPath_;
  std::string path_;
  std::string error_;
  platform::UniqueFd fd_;
  bool committed_ = false;
};

}  // namespace tools
