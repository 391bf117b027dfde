#include "platform/runloop/Signals.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "platform/files/UniqueFd.h"

namespace platform {
namespace {

constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The write end of the self-pipe: the only state the raw handler touches.
volatile sig_atomic_t gPipeWrite = -1;

// The signals the program was started with ignored: a launcher's decision (nohup, a
// script's background job) that holds for the installers it starts too.
bool gIgnoredAtStart[NSIG] = {};

// Runs on whichever thread the kernel picked, so only async-signal-safe calls. Each
// signal is one two-byte record, written atomically: its number, and whether the kernel
// sent it itself (a terminal's Ctrl-C or hang-up goes to the whole foreground group).
void onSignal(int signo, siginfo_t* info, void*) {
  const int savedErrno = errno;
  const unsigned char record[2] = {
      static_cast<unsigned char>(signo),
      static_cast<unsigned char>(info != nullptr && info->si_code == SI_KERNEL)};
  if (gPipeWrite >= 0) {
    const ssize_t ignored = ::write(gPipeWrite, record, sizeof record);
    (void)ignored;  // a full pipe already holds enough signals to act on
  }
  errno = savedErrno;
}

struct Record {
  int signo;
  bool fromKernel;
};

// Who answers the signals now. Dispositions are process-wide, and the raw handler can
// reach nothing but a file-level descriptor, so this state is file-level too.
struct Routing {
  int pipeRead = -1;
  std::shared_ptr<std::function<void(int)>> onTerminate;
  // Innermost last; an empty function is a prompt's wait, which reads the pipe itself.
  std::vector<std::shared_ptr<std::function<void()>>> interrupts;
  bool caught[NSIG] = {};
  struct sigaction previous[NSIG] = {};
  unsigned loopSource = 0;
  int pending = 0;  // a termination signal a child wait took and nobody answered yet
};

Routing& routing() {
  static Routing r;
  return r;
}

// The pipe is made once and kept for the process's life: a handler running on another
// thread may still write to it after a watch has gone.
bool ensurePipe() {
  Routing& r = routing();
  if (r.pipeRead >= 0) return true;
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  r.pipeRead = fds[0];
  gPipeWrite = fds[1];
  return true;
}

std::vector<Record> readRecords() {
  std::vector<Record> records;
  const Routing& r = routing();
  if (r.pipeRead < 0) return records;
  unsigned char buffer[64];  // even: records are never split between reads
  for (;;) {
    const ssize_t n = ::read(r.pipeRead, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    for (ssize_t i = 0; i + 1 < n; i += 2) records.push_back({buffer[i], buffer[i + 1] != 0});
  }
  return records;
}

void callTermination(int signo) {
  // A copy: the function may end the watch that holds it.
  const auto fn = routing().onTerminate;
  if (fn) (*fn)(signo);
}

gboolean onPipeReadable(gint, GIOCondition, gpointer) {
  for (const Record& record : readRecords()) {
    Routing& r = routing();
    if (record.signo == SIGINT && !r.interrupts.empty()) {
      const auto fn = r.interrupts.back();
      if (*fn) (*fn)();
      continue;
    }
    callTermination(record.signo);
  }
  return G_SOURCE_CONTINUE;
}

void catchSignal(int signo, bool want) {
  Routing& r = routing();
  if (want == r.caught[signo]) return;
  if (!want) {
    ::sigaction(signo, &r.previous[signo], nullptr);
    r.caught[signo] = false;
    return;
  }
  struct sigaction current {};
  ::sigaction(signo, nullptr, &current);
  // An ignored signal is the parent's decision (nohup, a script's background job).
  if (!(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN) return;
  struct sigaction action {};
  action.sa_sigaction = onSignal;
  action.sa_flags = SA_SIGINFO | SA_RESTART;
  sigemptyset(&action.sa_mask);
  if (::sigaction(signo, &action, &r.previous[signo]) == 0) r.caught[signo] = true;
}

// Brings the dispositions and the loop's watch of the pipe in line with who listens.
void update() {
  Routing& r = routing();
  bool any = false;
  for (int signo : kTerminationSignals) {
    const bool want = ensurePipe() && (r.onTerminate || (signo == SIGINT && !r.interrupts.empty()));
    catchSignal(signo, want);
    any = any || r.caught[signo];
  }
  if (any && r.loopSource == 0) {
    r.loopSource = g_unix_fd_add(r.pipeRead, G_IO_IN, onPipeReadable, nullptr);
  } else if (!any && r.loopSource != 0) {
    g_source_remove(r.loopSource);
    r.loopSource = 0;
  }
}

// A prompt's wait takes SIGINT while it blocks, as a live InterruptWatch would.
class PromptScope {
 public:
  PromptScope() : entry_(std::make_shared<std::function<void()>>()) {
    routing().interrupts.push_back(entry_);
    update();
  }
  ~PromptScope() {
    auto& list = routing().interrupts;
    list.erase(std::remove(list.begin(), list.end(), entry_), list.end());
    update();
  }
  PromptScope(const PromptScope&) = delete;
  PromptScope& operator=(const PromptScope&) = delete;

 private:
  std::shared_ptr<std::function<void()>> entry_;
};

// A descriptor that becomes readable when the child ends; none on kernels without it.
UniqueFd openProcessDescriptor(pid_t pid) {
#ifdef SYS_pidfd_open
  return UniqueFd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
#else
  return UniqueFd();
#endif
}

}  // namespace

void resetInheritedSignalState() {
  for (int signo = 1; signo < NSIG; ++signo) {
    struct sigaction current {};
    gIgnoredAtStart[signo] = ::sigaction(signo, nullptr, &current) == 0 &&
                             !(current.sa_flags & SA_SIGINFO) && current.sa_handler == SIG_IGN;
  }
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = SIG_DFL;
  ::sigaction(SIGCHLD, &action, nullptr);
  action.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &action, nullptr);
  sigset_t unblock;
  sigemptyset(&unblock);
  for (int signo : {SIGCHLD, SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&unblock, signo);
  ::sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
}

void restoreStartSignalState() {
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  for (int signo = 1; signo < NSIG; ++signo) {
    // An ignored SIGCHLD would lose the installer its own children's status, an ignored
    // SIGPIPE would turn its broken pipes into write errors: both are ours, not the launcher's.
    const bool ignore = gIgnoredAtStart[signo] && signo != SIGCHLD && signo != SIGPIPE;
    action.sa_handler = ignore ? SIG_IGN : SIG_DFL;
    ::sigaction(signo, &action, nullptr);  // SIGKILL, SIGSTOP and the C library's own refuse
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);
}

TerminationWatch::TerminationWatch(std::function<void(int)> onSignal) {
  routing().onTerminate = std::make_shared<std::function<void(int)>>(std::move(onSignal));
  update();
}

TerminationWatch::~TerminationWatch() {
  routing().onTerminate.reset();
  update();
}

InterruptWatch::InterruptWatch(std::function<void()> fn)
    : fn_(std::make_shared<std::function<void()>>(std::move(fn))) {
  routing().interrupts.push_back(fn_);
  update();
}

InterruptWatch::~InterruptWatch() {
  auto& list = routing().interrupts;
  list.erase(std::remove(list.begin(), list.end(), fn_), list.end());
  update();
}

InputWait waitForInput(int fd) {
  PromptScope scope;
  const int pipeRead = routing().pipeRead;
  for (;;) {
    pollfd fds[2] = {{fd, POLLIN, 0}, {pipeRead, POLLIN, 0}};
    const int n = ::poll(fds, pipeRead >= 0 ? 2 : 1, -1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return InputWait::Ready;  // the caller's read() reports the failure
    if (pipeRead >= 0 && (fds[1].revents & POLLIN)) {
      for (const Record& record : readRecords()) {
        if (record.signo == SIGINT) return InputWait::Interrupted;
        callTermination(record.signo);
      }
    }
    if (fds[0].revents != 0) return InputWait::Ready;
  }
}

std::optional<int> waitForChild(pid_t pid) {
  const UniqueFd process = openProcessDescriptor(pid);
  // Who else a signal was sent to cannot be read from it: a kill of the program alone and
  // one of its whole process group carry the same sender and code. Only a child in our own
  // process group shares a group signal; the kernel's signals (a terminal's Ctrl-C or
  // hang-up) go to the whole foreground group, so such a child already has them. Any other
  // signal is forwarded; runTask gives the child a group of its own where it can, so that a
  // kill of our group reaches it once, through us.
  const bool sharesGroup = ::getpgid(pid) == ::getpgrp();
  for (;;) {
    int status = 0;
    const pid_t ended = ::waitpid(pid, &status, WNOHANG);
    if (ended == pid) return status;
    if (ended < 0 && errno != EINTR) return std::nullopt;
    Routing& r = routing();
    pollfd fds[2] = {{r.pipeRead, POLLIN, 0}, {process.get(), POLLIN, 0}};
    // Without a process descriptor the child's end is noticed by looking again soon.
    const int n = ::poll(fds, 2, process ? -1 : 50);
    if (n <= 0 || !(fds[0].revents & POLLIN)) continue;
    for (const Record& record : readRecords()) {
      if (!(record.fromKernel && sharesGroup)) ::kill(pid, record.signo);
      if (r.pending == 0) r.pending = record.signo;
    }
  }
}

void deliverPendingTermination() {
  Routing& r = routing();
  for (const Record& record : readRecords()) {
    // A Ctrl-C meant for a Cancel that is still live is not a termination.
    if (record.signo == SIGINT && !r.interrupts.empty()) continue;
    if (r.pending == 0) r.pending = record.signo;
  }
  if (r.pending == 0 || !r.onTerminate) return;
  const int signo = r.pending;
  r.pending = 0;
  callTermination(signo);
}

}  // namespace platform
