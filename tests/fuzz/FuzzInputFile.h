#pragma once
// For fuzz targets whose parser reads a file: one scratch file per target, rewritten with
// every input and removed when the fuzzer exits.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzzing {

/// Writes data to this target's scratch file and returns its path. A scratch file that
/// cannot be made or written aborts: the fuzzer must not run on stale input.
inline std::string writeInputFile(const uint8_t* data, size_t size) {
  struct ScratchFile {
    ScratchFile() {
      char tmpl[] = "/tmp/naib-fuzz-XXXXXX";
      const int fd = mkstemp(tmpl);
      if (fd < 0) std::abort();
      close(fd);
      path = tmpl;
    }
    ~ScratchFile() { unlink(path.c_str()); }
    std::string path;
  };
  static ScratchFile scratch;
  FILE* f = std::fopen(scratch.path.c_str(), "wb");
  if (f == nullptr) std::abort();
  if (size > 0 && std::fwrite(data, 1, size, f) != size) std::abort();
  if (std::fclose(f) != 0) std::abort();
  return scratch.path;
}

}  // namespace fuzzing
