#pragma once
// A program's bytes in memory that only this process can reach and nobody can change once
// sealed, started by its descriptor (runTask's programDescriptor) instead of by a path that
// others of the user can write to or rename over.

#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

class SealedCopy {
 public:
  /// Makes an empty, executable in-memory file named name (shown in /proc/<pid>/fd only),
  /// close-on-exec. First makes the process non-dumpable for the rest of its life, so other
  /// processes of the user can neither reach the copy through /proc/<pid>/fd (a writable
  /// open would change it before the seal, and make it busy for exec after) nor trace the
  /// process. Not open (descriptor() -1) when no such file can be made.
  explicit SealedCopy(const std::string& name);

  /// The copy's descriptor; -1 when not open. Until seal(), the program's bytes are written
  /// through it (or a duplicate of it).
  int descriptor() const { return fd_.get(); }
  /// Forbids for good every write, truncation and growth of the copy, through any
  /// descriptor; true when it is sealed so (also when it already was). Call once the bytes
  /// are in; false when not open.
  bool seal();
  /// Adds execute permission for owner, group and others; true when it was written.
  bool addExecutePermission();

 private:
  UniqueFd fd_;
};

}  // namespace platform
