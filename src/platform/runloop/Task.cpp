#include "platform/runloop/Task.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "platform/runloop/Signals.h"

extern char** environ;

namespace platform {

namespace {

struct SpawnAttrDeleter {
  void operator()(posix_spawnattr_t* attr) const {
    posix_spawnattr_destroy(attr);
    delete attr;
  }
};
using SpawnAttrPtr = std::unique_ptr<posix_spawnattr_t, SpawnAttrDeleter>;

// The child starts as a program started from a shell would: no blocked signals and default
// handling for every signal, whatever the bootstrapper's run loop or transfers changed.
SpawnAttrPtr defaultSignalAttributes() {
  auto storage = std::make_unique<posix_spawnattr_t>();
  if (posix_spawnattr_init(storage.get()) != 0) return nullptr;
  SpawnAttrPtr attr(storage.release());
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  if (posix_spawnattr_setsigmask(attr.get(), &none) != 0 ||
      posix_spawnattr_setsigdefault(attr.get(), &all) != 0 ||
      posix_spawnattr_setflags(attr.get(), POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) != 0) {
    return nullptr;
  }
  return attr;
}

std::optional<int> waitForExit(pid_t pid) {
  const auto status = waitForChild(pid);
  if (!status) return std::nullopt;
  if (WIFEXITED(*status)) return WEXITSTATUS(*status);
  if (WIFSIGNALED(*status)) return 128 + WTERMSIG(*status);
  return std::nullopt;
}

}  // namespace

std::optional<int> runTask(const std::string& path, const std::vector<std::string>& args) {
  if (path.empty()) return std::nullopt;
  SpawnAttrPtr attr = defaultSignalAttributes();
  if (!attr) return std::nullopt;
  std::vector<std::string> argvStrings;
  argvStrings.reserve(args.size() + 1);
  argvStrings.push_back(path);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argvStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  // posix_spawn (not the PATH-searching variant) reports a failed exec here, so a file that
  // is missing, not executable or not a program is "could not be started".
  if (posix_spawn(&pid, path.c_str(), nullptr, attr.get(), argv.data(), environ) != 0) {
    return std::nullopt;
  }
  return waitForExit(pid);
}

}  // namespace platform
