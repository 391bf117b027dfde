#pragma once
// Child processes: the stand-in for the task object.

#include <optional>
#include <string>
#include <vector>

namespace platform {

/// Runs path with args (argument 0 is path itself) as a child and waits for it, forwarding
/// SIGINT, SIGTERM and SIGHUP as waitForChild() (Signals.h) does. The child inherits the
/// environment, the working directory and the standard streams, starts with the signal
/// dispositions the program was started with (SIGCHLD and SIGPIPE at their default) and no
/// blocked signal. When the program has no controlling terminal, the child leads a process
/// group of its own, so a signal sent to the program's group reaches it once (forwarded),
/// and it is killed if the program dies first; on a terminal it stays in the program's job.
///
/// programDescriptor, when not -1, is an open file of the program to start instead of
/// path: the child alone has it open, under the same number, so a `#!` program's
/// interpreter reads it as /dev/fd/<programDescriptor> (its $0). Elsewhere the caller keeps
/// it close-on-exec.
///
/// Returns the child's exit status, 128 + the signal number when a signal ended it,
/// nullopt when it could not be started at all. Call on the loop thread.
std::optional<int> runTask(const std::string& path, const std::vector<std::string>& args,
                           int programDescriptor = -1);

}  // namespace platform
