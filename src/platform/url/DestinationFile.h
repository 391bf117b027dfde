#pragma once
// The file a transfer writes into: created only when asked, never over an existing file
// unless overwriting is allowed, or a file the caller already holds open; written in full
// or not at all, optionally in large blocks.

#include <cstddef>
#include <memory>
#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class DestinationFile {
 public:
  /// Creates the file. Without allowOverwrite an existing entry stays untouched and the
  /// first free name of path, path-1, path-2, … is created exclusively. With blockBytes
  /// above 0, writes are gathered into blocks of that size (see write()). Returns nullptr
  /// when no file could be created.
  static std::unique_ptr<DestinationFile> create(const std::string& path, bool allowOverwrite,
                                                 std::size_t blockBytes = 0);

  /// Writes into the caller's open file instead (descriptor, left open: a duplicate is
  /// written and closed), emptied first; path() is name, and nothing is made at a path.
  /// Returns nullptr when the descriptor cannot be duplicated or emptied.
  static std::unique_ptr<DestinationFile> into(int descriptor, std::string name,
                                               std::size_t blockBytes = 0);

  ~DestinationFile();
  DestinationFile(const DestinationFile&) = delete;
  DestinationFile& operator=(const DestinationFile&) = delete;

  /// The path actually created (into(): the name given).
  const std::string& path() const { return path_; }
  /// The open file, for a writer that fills it by other means (copy_file_range) instead of
  /// write(); -1 once closed.
  int descriptor() const { return fd_.get(); }
  /// Writes every byte; false on any error, a full disk or a write that makes no progress.
  /// With blocks, bytes wait until a whole block is gathered, flush() or close(), and an
  /// error shows at the call that writes them.
  bool write(const char* data, std::size_t length);
  /// Writes the bytes that wait; false on any error (they are dropped then).
  bool flush();
  /// Empties the file and drops the bytes that wait; the next write starts at its
  /// beginning. False on any error.
  bool rewind();
  /// Writes the bytes that wait and closes the file; false when either fails or the system
  /// reports that written data was lost. Later writes fail.
  bool close();

 private:
  DestinationFile(UniqueFd fd, std::string path, std::size_t blockBytes);

  UniqueFd fd_;
  std::string path_;
  std::size_t blockBytes_;
  std::unique_ptr<char[]> block_;  ///< blockBytes_ bytes once the first write comes
  std::size_t waiting_ = 0;        ///< bytes at the start of block_ not yet written
};

}  // namespace platform
