#include "bootstrap/LaunchDecision.h"

#include "messages/LocalizedStrings.h"
#include "naib/NAIB.h"

namespace bootstrap {
namespace {

LaunchDecision exitWith(LaunchRoad road, int code) {
  return {road, code};
}

}  // namespace

LaunchDecision decideLaunch(const LaunchFacts& facts) {
  // A rejected command line (or -version) leaves no trace but the checker's own output.
  if (!facts.commandLineAccepted)
    return exitWith(LaunchRoad::kCommandLineRejected, facts.commandLineCode);
  if (!facts.packagePresent) return {LaunchFact::kPackage};
  if (!*facts.packagePresent)
    return exitWith(LaunchRoad::kPackageMissing, naib::NAIB_APP_DIR_NOT_FOUND);
  if (!facts.runtime) return {LaunchFact::kRuntime};
  const RuntimeFound& runtime = *facts.runtime;
  // Versions 2 and later install applications themselves. An older runtime, or one whose
  // framework cannot be found, counts as present but is replaced.
  if (runtime.installed && runtime.major > 1 && runtime.located)
    return {LaunchRoad::kApplicationInstaller};

  // A runtime the bundle carries is copied, not downloaded: it needs no -allowDownload.
  if (!facts.carriedRuntime) return {LaunchFact::kCarriedRuntime};
  if (!facts.allowDownload && !*facts.carriedRuntime)
    return exitWith(LaunchRoad::kNeedsAllowDownload, naib::NAIB_NEEDS_ALLOW_DOWNLOAD);

  // The update policy is asked only of a machine that has a runtime: a first install is
  // never blocked by it.
  if (runtime.installed) {
    if (!facts.updateAllowed) return {LaunchFact::kUpdatePolicy};
    if (!*facts.updateAllowed)
      return exitWith(LaunchRoad::kUpdateDisabled, naib::NAIB_UPDATE_DISABLED);
  }

  // Without URLs nothing can be downloaded: that is a failed download, not a success.
  if (!facts.downloadUrlsComposed) return {LaunchFact::kDownloadUrls};
  if (!*facts.downloadUrlsComposed)
    return exitWith(LaunchRoad::kNoDownloadUrls, naib::NAIB_DOWNLOAD_FAILED);
  return {*facts.carriedRuntime ? LaunchRoad::kCopyCarriedRuntime : LaunchRoad::kDownloadRuntime};
}

EndMessage endMessageFor(int code, const std::optional<platform::UrlError>& lastError,
                         bool installerArrived, bool showError, bool messageGiven) {
  if (code == 0 || !showError) return {};
  // "Not found" on the server means no runtime is published for this system; that is only
  // what a failed runtime download can mean. Once the installer has arrived, a not-found
  // error can only come from a revocation list and says nothing about the system, so the
  // failure's own message stands.
  const bool runtimeNotPublished = !installerArrived && lastError &&
                                   lastError->domain == platform::kNSURLErrorDomain &&
                                   lastError->code == platform::kUrlErrorFileDoesNotExist;
  if (runtimeNotPublished) return {EndMessage::Window::kDialog, messages::kMsgSystemUnsupported};
  if (messageGiven) return {EndMessage::Window::kAlert, std::nullopt};
  return {EndMessage::Window::kAlert, messages::kMsgInstallFailed};
}

}  // namespace bootstrap
