#pragma once
// Which process a private temporary directory belongs to, and whether that process is gone,
// so that a run can remove what a killed run left behind without touching anything it
// cannot prove was such a run's.

#include <string>

#include "platform/files/UniqueFd.h"

namespace platform {

using OwnerLock = UniqueFd;

/// Puts the owner marker into dir (a directory this process made, mode 0700): which
/// machine, boot, process id and process start time made it, in a file whose lock the
/// returned descriptor holds until it is closed or the process ends, however it ends.
/// None held when no marker could be made; the directory is then never removed by another run.
OwnerLock markDirectoryAsOurs(const std::string& dir);

/// Removes every directory directly in parent that is provably a private directory that
/// an ended run of this user left: named like one, a real directory (never a symbolic
/// link) owned by this user with mode 0700, holding an owner marker that is a regular file
/// of this user, whose maker is gone: on this boot, its lock is free (the kernel frees it
/// when the maker ends, whatever process ids it had or has been given since); on an
/// earlier boot of this same machine, always. keep (a full path) is left alone.
void removeAbandonedDirectories(const std::string& parent, const std::string& keep);

}  // namespace platform
