#pragma once
// The signals that end a run (SIGINT, SIGTERM, SIGHUP). A raw handler only writes the
// signal's number to a self-pipe; the run loop, or a blocking wait of this file, reads it
// and decides what it means: Ctrl-C for a live Cancel, a signal to forward to a child, or
// the end of the run.

#include <sys/types.h>

#include <functional>
#include <memory>
#include <optional>

namespace platform {

/// Puts right what a parent may have left that the program cannot work with: SIGCHLD back
/// to its default action (when ignored, the kernel reaps children before their status can
/// be read), SIGPIPE ignored (a closed standard error or peer is a write error, not the
/// end of the process), and those two and the termination signals unblocked. Records first
/// which signals the program was started with ignored, for restoreStartSignalState(). Call
/// first thing, before any thread starts.
void resetInheritedSignalState();

/// Only in a child between fork and exec (async-signal-safe): every signal gets back the
/// disposition the program was started with (ignored, or else default), except SIGCHLD and
/// SIGPIPE, which get their default; then no signal is blocked. Without an earlier
/// resetInheritedSignalState() every signal gets its default.
void restoreStartSignalState();

/// While it lives, SIGINT, SIGTERM and SIGHUP no longer end the process by themselves:
/// onSignal(signal number) is called for each from the run loop, or from waitForInput(),
/// or from deliverPendingTermination(), never from the signal handler. SIGINT goes to the
/// innermost live InterruptWatch instead when there is one. A signal that is ignored when
/// the watch is made stays ignored (nohup, the background jobs of a script). At most one
/// lives at a time; create and destroy on the loop thread.
class TerminationWatch {
 public:
  explicit TerminationWatch(std::function<void(int)> onSignal);
  ~TerminationWatch();
  TerminationWatch(const TerminationWatch&) = delete;
  TerminationWatch& operator=(const TerminationWatch&) = delete;
};

/// While it lives, an interrupt (SIGINT) is no longer a termination: fn is called for it
/// from the run loop (never from the signal handler). The innermost live watch takes it.
/// When the last watch goes and no TerminationWatch lives, SIGINT gets back the action it
/// had before. Create and destroy on the loop thread; fn may destroy its own watch.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> fn);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  std::shared_ptr<std::function<void()>> fn_;
};

/// What ended waitForInput().
enum class InputWait {
  Ready,        ///< fd has input, is at its end, or failed: a read() will not block
  Interrupted,  ///< SIGINT came first
};

/// Blocks until fd can be read without blocking or SIGINT arrives; for a prompt that a
/// person answers, where Ctrl-C dismisses like Enter. SIGTERM and SIGHUP that arrive
/// meanwhile go to the live TerminationWatch (which ends the run).
InputWait waitForInput(int fd);

/// Waits for the child pid to end and reaps it; returns its waitpid() status, nullopt
/// when it cannot be waited for. A termination signal that arrives meanwhile is forwarded
/// to the child, unless the kernel sent it (a terminal's Ctrl-C or hang-up goes to the
/// whole foreground process group) and the child is in the program's process group, so it
/// got that signal itself; the first one is kept for deliverPendingTermination(), so the
/// caller can record the child's end first.
std::optional<int> waitForChild(pid_t pid);

/// Calls the live TerminationWatch's function for a termination signal that arrived and
/// was not answered yet: one that waitForChild() took, or one still waiting for the loop.
/// Returns when there is none (or no watch). Call where a run is about to end.
void deliverPendingTermination();

}  // namespace platform
