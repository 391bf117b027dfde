#include "bootstrap/ApplicationMain.h"

#include <memory>
#include <string>
#include <vector>

#include "bootstrap/Bootstrapper.h"
#include "bootstrap/InstallLock.h"
#include "download/Downloader.h"
#include "platform/files/Bundle.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Signals.h"
#include "ui/Presenter.h"

namespace bootstrap {

int applicationMain(int argc, char** argv) {
  // Whatever the launcher left (SIGCHLD ignored, SIGPIPE at its default) must not decide
  // how installers are waited for or how a closed standard error ends the run.
  platform::resetInheritedSignalState();
  // The main interface: one presenter (it picks a toolkit only when a window must show),
  // the Downloader with its progress window, and the Bootstrapper with its outlet to it.
  platform::NotificationCenter center;
  platform::NotificationQueue queue(center);
  std::unique_ptr<ui::Presenter> presenter = ui::makeLazyPresenter();
  auto downloader = std::make_shared<download::Downloader>(queue, *presenter);
  Bootstrapper bootstrapper(std::vector<std::string>(argv, argv + argc), platform::Bundle::main(),
                            center, queue, *presenter);
  bootstrapper.setDownloader(downloader);
  InstallLock installLock(*presenter);
  bootstrapper.setInstallLock(&installLock);
  // Cancel ends the wait for another run's install, else the download.
  presenter->bindProgress({&bootstrapper.localizedWindowTitle(), &downloader->localizedPleaseWait(),
                           &downloader->localizedCancel(), &downloader->currentProgressPercent(),
                           [d = downloader.get(), &installLock] {
                             if (!installLock.cancel()) d->stopDownLoad();
                           },
                           &downloader->transferAmounts(), &installLock.pulsing()});

  // From here on SIGINT, SIGTERM and SIGHUP end the run through the Bootstrapper, at any
  // point: the temporary files go and the end is logged. Ctrl-C is the Cancel button
  // instead while a person sees the progress (a terminal's progress line or the window).
  platform::TerminationWatch termination(
      [&bootstrapper](int signalNumber) { bootstrapper.terminate(signalNumber); });

  bootstrapper.applicationDidFinishLaunching();
  // Only the download road gets here; its handlers end the process from the loop.
  platform::runMainLoop();
  return 0;
}

}  // namespace bootstrap
