#include "bootstrap/InstallLock.h"

#include "libinstall/InstallLogMsgs.h"
#include "platform/runloop/RunLoop.h"

namespace bootstrap {

InstallLock::InstallLock(ui::Presenter& presenter, std::chrono::milliseconds pollInterval)
    : presenter_(presenter), pollInterval_(pollInterval) {}

bool InstallLock::acquire(const char* directory, bool silent) {
  lock_ = platform::UserLock::open(directory, kInstallLockName);
  // Without a private runtime directory the run goes on unlocked, as runs always did.
  if (!lock_ || lock_->tryLock()) return true;
  install::logWaitingForInstall();
  if (!silent) showWait(true);
  waiting_ = true;
  // The kernel tells nobody when a lock comes free: the wait asks again now and then.
  const int pollMs = static_cast<int>(pollInterval_.count());
  while (!platform::runMainLoopUntil([this] { return cancelled_ || lock_->tryLock(); }, pollMs)) {
  }
  waiting_ = false;
  if (!silent) showWait(false);
  if (cancelled_) lock_.reset();
  return !cancelled_;
}

bool InstallLock::cancel() {
  if (!waiting_) return false;
  cancelled_ = true;
  return true;
}

void InstallLock::showWait(bool shown) {
  pulsing_.set(shown);
  if (shown) {
    presenter_.setCancelEnabled(true);
    presenter_.showProgress();
  } else {
    presenter_.closeProgress();
    presenter_.setCancelEnabled(false);
  }
}

}  // namespace bootstrap
