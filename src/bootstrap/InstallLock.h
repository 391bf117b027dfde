#pragma once
// One runtime install at a time for each user: the lock that a run takes before it looks
// for the runtime, and the wait, with its progress window and Cancel, while another run of
// the same user holds it. Two first installs started together thus download and run the
// runtime installer once; the second finds the runtime the first one installed.

#include <chrono>
#include <memory>

#include "platform/files/UserLock.h"
#include "platform/runloop/Observable.h"
#include "ui/Presenter.h"

namespace bootstrap {

/// The lock file's name in the user's runtime directory; every bootstrapper of the
/// runtime, whatever application it installs, takes the same one.
inline constexpr char kInstallLockName[] = "orvel-runtime-install.lock";

class InstallLock {
 public:
  /// presenter shows the wait of a run that is not silent; a waiting run tries the lock
  /// again after each event of the run loop and at least every pollInterval.
  explicit InstallLock(ui::Presenter& presenter,
                       std::chrono::milliseconds pollInterval = std::chrono::milliseconds(200));

  /// Takes the lock in directory ($XDG_RUNTIME_DIR); a directory unfit for a lock (see
  /// UserLock) means no lock and no wait. While another run holds it: logs the wait once,
  /// shows the progress window unless silent (Cancel enabled, the bar pulsing) and turns
  /// the run loop, so Cancel and signals are served, without a time limit. Returns false
  /// when cancel() ended the wait. On the loop thread.
  bool acquire(const char* directory, bool silent);
  /// The progress window's Cancel: ends a wait of acquire() and returns true; returns
  /// false when no run waits, so the Cancel is someone else's.
  bool cancel();
  /// Gives the lock up; again is harmless. The process's end gives it up too.
  void release() { lock_.reset(); }

  /// True while a run that is not silent waits; the progress bar's pulse follows it.
  platform::Observable<bool>& pulsing() { return pulsing_; }

 private:
  void showWait(bool shown);

  ui::Presenter& presenter_;
  std::chrono::milliseconds pollInterval_;
  std::unique_ptr<platform::UserLock> lock_;
  platform::Observable<bool> pulsing_{false};
  bool waiting_ = false;
  bool cancelled_ = false;
};

}  // namespace bootstrap
