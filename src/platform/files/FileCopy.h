#pragma once
// One file copied into a new file, or one the caller holds open, a piece at a time from the
// run loop, so that a large copy leaves the loop to the progress window and its Cancel
// button. The source is only ever read: it may lie on read-only or noexec media.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// The bytes one turn of the loop copies: a piece of a slow stick still leaves the window
/// and Cancel answering within a fraction of a second.
inline constexpr std::size_t kCopyPieceBytes = std::size_t{4} << 20;

/// How copyPiece moves the bytes; each way falls back to the next for good once the kernel
/// refuses it.
enum class CopyWay {
  kRange,  ///< copy_file_range: a filesystem that clones or copies in the kernel does so
  kSend,   ///< sendfile: between filesystems (a bundle's file into memory), still in the kernel
  kPlain,  ///< read and write through a buffer
};

/// Copies up to maxBytes from the descriptor from to the descriptor to, each at its own
/// offset, the way way says; where the kernel refuses it (EXDEV, ENOSYS, EOPNOTSUPP, EINVAL)
/// it takes the next way and keeps it in way for later pieces. Returns the bytes copied, 0
/// at the source's end, -1 with errno set on an error.
std::int64_t copyPiece(int from, int to, std::size_t maxBytes, CopyWay& way,
                       std::vector<char>& buffer);

struct FileCopyCallbacks {
  /// After each piece: the bytes copied so far and the source's size when it was opened.
  std::function<void(std::int64_t copied, std::int64_t size)> progress;
  /// The whole source is in the destination, which is closed.
  std::function<void()> finished;
  /// The copy stopped; reason says why in words, naming the file.
  std::function<void(const std::string& reason)> failed;
};

class FileCopy {
 public:
  /// Opens source for reading (links followed; it must be a regular file of at most
  /// maxBytes) and creates destination exclusively as DestinationFile does (destination,
  /// else destination-1, -2, ...). Returns nullptr, with why set and no callback, when
  /// either fails. Otherwise the pieces follow from the loop, never inside this call:
  /// progress after each, then exactly one of finished or failed, inside which the owner
  /// may destroy the copy. Destroying it earlier stops it: no callback follows, and the
  /// destination stays as far as it got.
  static std::unique_ptr<FileCopy> start(const std::string& source, const std::string& destination,
                                         std::int64_t maxBytes, FileCopyCallbacks callbacks,
                                         std::string& why);
  /// As start(), but into the caller's open file (descriptor, left open; emptied first) as
  /// DestinationFile::into() writes, with name as destinationPath(); nothing is made at a
  /// path.
  static std::unique_ptr<FileCopy> startInto(const std::string& source, int descriptor,
                                             std::string name, std::int64_t maxBytes,
                                             FileCopyCallbacks callbacks, std::string& why);
  ~FileCopy();
  FileCopy(const FileCopy&) = delete;
  FileCopy& operator=(const FileCopy&) = delete;

  /// The path actually created.
  const std::string& destinationPath() const;

  struct Impl;

 private:
  explicit FileCopy(std::unique_ptr<Impl> impl);
  static std::unique_ptr<FileCopy> begin(std::unique_ptr<Impl> impl, FileCopyCallbacks callbacks);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
