#pragma once
// Child processes: the stand-in for the task object.

#include <optional>
#include <string>
#include <vector>

namespace platform {

/// Runs path with args (argument 0 is path itself) as a child that inherits the
/// environment, the working directory and the standard streams, with default signal
/// handling and no blocked signal; waits for it, forwarding SIGINT, SIGTERM and SIGHUP as
/// waitForChild() (Signals.h) does. Returns its exit status, 128 + the signal number when a
/// signal ended it, nullopt when it could not be started at all.
std::optional<int> runTask(const std::string& path, const std::vector<std::string>& args);

}  // namespace platform
