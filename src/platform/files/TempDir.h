#pragma once
// The process's private temporary directory and the user's home directory.

#include <string>

namespace platform {

/// The process's private temporary directory: made on first call with mkdtemp, mode 0700,
/// under the first of $TMPDIR, /tmp and the home directory that takes it, with an owner
/// marker inside (TempDirOwner.h) that this process holds locked. Empty when none does.
std::string temporaryDirectory();
/// Removes the directory made by temporaryDirectory() with whatever is left in it; a later
/// temporaryDirectory() makes a new one.
void removeTemporaryDirectory();
/// Removes the private directories that ended runs of this user left (killed, or cut off
/// by a power loss) under every parent temporaryDirectory() would use, where their owner
/// markers prove it (TempDirOwner.h); never this process's own, never through a symbolic
/// link. Call on the loop thread.
void removeAbandonedTemporaryDirectories();
/// $HOME, else the password database's entry for the user; empty when neither is known.
std::string homeDirectory();

}  // namespace platform
