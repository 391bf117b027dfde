#include "platform/runloop/Task.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/files/UniqueFd.h"
#include "platform/runloop/Signals.h"

extern char** environ;

namespace platform {

namespace {

// What the child does between fork and exec, prepared before the fork: the child may only
// make async-signal-safe calls, so nothing in it allocates.
struct Launch {
  const char* path;
  char* const* argv;
  int programDescriptor;
  bool ownGroup;
  pid_t parent;
  int errorPipe;  // the child writes its exec errno here; close-on-exec
};

bool hasControllingTerminal() {
  return static_cast<bool>(UniqueFd(::open("/dev/tty", O_RDONLY | O_NOCTTY | O_CLOEXEC)));
}

[[noreturn]] void becomeTask(const Launch& launch) {
  if (launch.ownGroup) {
    ::setpgid(0, 0);
    // Out of our group, a kill of the whole group that we cannot forward (SIGKILL) would
    // miss the child; tying it to our life keeps it from outliving the job it belongs to.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != launch.parent) ::_exit(127);  // we died before the tie was made
  }
  // The one descriptor this child, and no other, gets across exec.
  if (launch.programDescriptor >= 0) ::fcntl(launch.programDescriptor, F_SETFD, 0);
  restoreStartSignalState();
  if (launch.programDescriptor >= 0) {
    ::fexecve(launch.programDescriptor, launch.argv, environ);
  } else {
    ::execve(launch.path, launch.argv, environ);
  }
  const int error = errno;
  const ssize_t ignored = ::write(launch.errorPipe, &error, sizeof error);
  (void)ignored;  // the parent then sees the pipe close without an errno: it waits instead
  ::_exit(127);
}

// Whether the child reached exec: the pipe closes at exec, or brings the exec's errno.
bool childStarted(int errorPipe) {
  int error = 0;
  for (;;) {
    const ssize_t n = ::read(errorPipe, &error, sizeof error);
    if (n < 0 && errno == EINTR) continue;
    return n != static_cast<ssize_t>(sizeof error);
  }
}

std::optional<int> waitForExit(pid_t pid) {
  const auto status = waitForChild(pid);
  if (!status) return std::nullopt;
  if (WIFEXITED(*status)) return WEXITSTATUS(*status);
  if (WIFSIGNALED(*status)) return 128 + WTERMSIG(*status);
  return std::nullopt;
}

}  // namespace

std::optional<int> runTask(const std::string& path, const std::vector<std::string>& args,
                           int programDescriptor) {
  if (path.empty() && programDescriptor < 0) return std::nullopt;
  std::vector<std::string> argvStrings;
  argvStrings.reserve(args.size() + 1);
  argvStrings.push_back(path);
  argvStrings.insert(argvStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& arg : argvStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return std::nullopt;
  UniqueFd readEnd(pipeFds[0]);
  UniqueFd writeEnd(pipeFds[1]);
  const Launch launch{path.c_str(), argv.data(), programDescriptor, !hasControllingTerminal(),
                      ::getpid(),   pipeFds[1]};

  // Blocked across the fork: until the child has its own dispositions, a signal would run
  // our handler in it and be taken for one of ours.
  sigset_t all, previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = ::fork();
  if (pid == 0) becomeTask(launch);
  // Both sides set the group, so that it is settled before the wait looks at it.
  if (pid > 0 && launch.ownGroup) ::setpgid(pid, pid);
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (pid < 0) return std::nullopt;
  writeEnd.reset();
  if (!childStarted(readEnd.get())) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return std::nullopt;
  }
  return waitForExit(pid);
}

}  // namespace platform
