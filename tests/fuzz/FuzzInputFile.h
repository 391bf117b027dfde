#pragma once
// For fuzz targets whose parser reads a file: one in-memory scratch file per target,
// rewritten with every input and gone when the fuzzer exits. It lives in memory because
// replacing a disk file's contents forces a write-back on close, which cost the file-reading
// targets more time than their parsers.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace fuzzing {

/// Writes data to this target's scratch file and returns a path that opens it. A scratch
/// file that cannot be made or written aborts: the fuzzer must not run on stale input.
inline std::string writeInputFile(const uint8_t* data, size_t size) {
  static const int fd = [] {
    const int made = memfd_create("naib-fuzz-input", MFD_CLOEXEC);
    if (made < 0) std::abort();
    return made;
  }();
  if (ftruncate(fd, 0) != 0) std::abort();
  for (size_t done = 0; done < size;) {
    const ssize_t n = pwrite(fd, data + done, size - done, static_cast<off_t>(done));
    if (n <= 0) std::abort();
    done += static_cast<size_t>(n);
  }
  return "/proc/self/fd/" + std::to_string(fd);
}

}  // namespace fuzzing
