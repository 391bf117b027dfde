#include "bootstrap/Bootstrapper.h"

#include <any>
#include <cstdlib>

#include "bootstrap/InstallLock.h"
#include "download/Downloader.h"
#include "libinstall/InstallLogMsgs.h"
#include "libinstall/LibInstall.h"
#include "libinstall/MacInstall.h"
#include "messages/LocalizedStrings.h"
#include "naib/ParamChecker.h"
#include "platform/files/Bundle.h"
#include "platform/files/FileSystem.h"
#include "platform/files/TempDir.h"
#include "platform/runloop/Signals.h"
#include "platform/runloop/Task.h"
#include "platform/url/UrlDownload.h"
#include "signature/SignatureVerification.h"
#include "ui/ErrorDialogController.h"

namespace bootstrap {
namespace {

constexpr char kName[] = "Bootstrapper";
constexpr char kInstallPrefix[] = "Install ";
constexpr char kCarriedTreeFolder[] = "Runtime";
constexpr unsigned long kUrlBufferSize = 512;
constexpr char kInstallerCopyName[] = "naib-runtime-installer";

std::string message(int index) {
  return messages::LocalizedStrings::getEmbeddedMessage(index).value_or("");
}

// A userInfo value of the wrong type counts as missing, as a missing key does.
template <typename T>
const T* userInfoValue(const platform::Notification& n, const char* key) {
  auto it = n.userInfo.find(key);
  return it == n.userInfo.end() ? nullptr : std::any_cast<T>(&it->second);
}

}  // namespace

std::string packageNameFor(const std::string& executableName) {
  if (executableName.rfind(kInstallPrefix, 0) == 0)
    return executableName.substr(sizeof kInstallPrefix - 1);
  return executableName;
}

bool isUsablePackageName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

std::string commandTextFor(const std::string& installerName, const std::vector<std::string>& args) {
  std::string text = "\"" + installerName + "\" ";
  for (const auto& arg : args) text += arg + " ";
  return text;
}

Bootstrapper::Bootstrapper(std::vector<std::string> arguments, const platform::Bundle& mainBundle,
                           platform::NotificationCenter& center, platform::NotificationQueue& queue,
                           ui::Presenter& presenter)
    : arguments_(std::move(arguments)), center_(center), queue_(queue), presenter_(presenter) {
  exePath_ = arguments_.empty() ? std::string() : arguments_[0];
  setAppName(platform::lastPathComponent(exePath_));
  const std::string packageName = packageNameFor(appName_);
  setLocalizedWindowTitle(message(messages::kMsgInstalling) + packageName);

  lookedForAppPath_ = platform::appendPathComponent(mainBundle.resourcePath(), packageName);
  bool isDirectory = false;
  // "Install .." would otherwise name the resource directory's parent as the package.
  if (isUsablePackageName(packageName) && platform::fileExists(lookedForAppPath_, isDirectory) &&
      isDirectory)
    appPath_ = lookedForAppPath_;
  bundleVersion_ = mainBundle.infoString("CFBundleVersion");
  carriedTree_ = platform::appendPathComponent(mainBundle.resourcePath(), kCarriedTreeFolder);

  center_.addObserver(this, download::kInstallerDownloadDone,
                      [this](const platform::Notification& n) { notifyDownloaderDone(n); });
  center_.addObserver(this, signature::kSignatureVerifyDone,
                      [this](const platform::Notification& n) { notifySignatureDone(n); });
}

Bootstrapper::~Bootstrapper() {
  center_.removeObserver(this);
}

void Bootstrapper::applicationDidFinishLaunching() {
  naib::ParamChecker checker(arguments_);
  bool allowDownload = false;
  bool silent = false;
  naib::NAIBErrorCode code = naib::NAIB_BAD_PARAMS;
  // A rejected command line (or -version) leaves no trace but the checker's own output.
  if (!checker.CheckParams(allowDownload, silent, code)) std::exit(code);

  // A bundle without a version still gets its start line; "unknown" says so plainly.
  install::logApplicationBegin(kName, bundleVersion_.value_or("unknown").c_str(), "Mac", "x86");
  // A killed run (or a power loss) left its private directory, with an installer of up to
  // a gigabyte in it, for good; whichever road this run takes, it goes now.
  platform::removeAbandonedTemporaryDirectories();

  if (!appPath_) {
    install::logCouldNotLocateAppDir(lookedForAppPath_.c_str());
    endLaunch(naib::NAIB_APP_DIR_NOT_FOUND);
  }
  waitForInstallLock(silent);

  install::RuntimeVersionInfo version{};
  bool runtimeMissing = true;
  if (install::getRuntimeVersion(version) != install::kInstallOk) {
    install::logRuntimeNotInstalled();
  } else {
    const auto location = install::getRuntimeLocation();
    install::logRuntimeInstalled(version.major, version.minor, version.bugfix, version.build,
                                 location.value_or("").c_str());
    if (version.major > 1 && location)
      endLaunch(installWithRuntime(*location, checker.ParamArray()));
    runtimeMissing = false;
  }

  // A runtime the bundle carries is copied, not downloaded: it needs no -allowDownload.
  auto carried = carriedRuntime();
  if (!allowDownload && carried.empty()) {
    install::logMissingAllowDownloadFlag();
    checker.PrintNeedsAllowDownloadFlag();
    endLaunch(naib::NAIB_NEEDS_ALLOW_DOWNLOAD);
  }

  // The update policy is asked only of a machine that has a runtime: a first install is
  // never blocked by it.
  if (runtimeMissing || install::canUpdateRuntime()) {
    char installerUrl[kUrlBufferSize];
    char signatureUrl[kUrlBufferSize];
    // Without URLs nothing can be downloaded: that is a failed download, not a success.
    if (!install::getBootstrapperDownloadUrls(installerUrl, kUrlBufferSize, signatureUrl,
                                              kUrlBufferSize))
      endLaunch(naib::NAIB_DOWNLOAD_FAILED);
    downloader_->setUrlStrings({installerUrl, signatureUrl});
    downloader_->setLimits({download::kRuntimeLimits, download::kSignatureLimits});
    if (!carried.empty()) useCarriedRuntime(std::move(carried));
    downloader_->setSilent(silent);
    downloader_->setLocalizedCancel(message(messages::kMsgCancel));
    downloader_->setLocalizedPleaseWait(message(messages::kMsgPleaseWait));
    const auto* params = checker.ParamArray();
    downloader_->setRuntimeArgs(params ? *params : std::vector<std::string>{});
    downloader_->startDownload(download::kInstallerDownloadDone);
    return;
  }

  install::logImmediateUpdateDisabled();
  showDialog(message(messages::kMsgUpdateDisallowed));
  endLaunch(naib::NAIB_UPDATE_DISABLED);
}

void Bootstrapper::endLaunch(int code) {
  // A signal taken while the Application Installer ran decides the code, once its own end
  // is logged.
  platform::deliverPendingTermination();
  install::logApplicationEnd(code == 0, kName, code);
  std::exit(code);
}

std::vector<std::optional<download::CarriedFile>> Bootstrapper::carriedRuntime() const {
  // A bundle without the folder costs today's road nothing but this one look.
  bool isDirectory = false;
  if (!platform::fileExists(carriedTree_, isDirectory) || !isDirectory) return {};
  char installerUrl[kUrlBufferSize];
  char signatureUrl[kUrlBufferSize];
  if (!install::getBootstrapperDownloadUrls(installerUrl, kUrlBufferSize, signatureUrl,
                                            kUrlBufferSize))
    return {};
  const auto installer = download::carriedFileIn(carriedTree_, installerUrl);
  const auto signature = download::carriedFileIn(carriedTree_, signatureUrl);
  if (!installer || !signature) return {};
  return {download::CarriedFile{*installer}, download::CarriedFile{*signature}};
}

void Bootstrapper::useCarriedRuntime(std::vector<std::optional<download::CarriedFile>> files) {
  downloader_->setCarriedTree(carriedTree_);
  downloader_->setCarriedFiles(std::move(files));
}

void Bootstrapper::waitForInstallLock(bool silent) {
  if (!installLock_) return;
  // A wait shows the download's progress window, texts and all.
  downloader_->setLocalizedCancel(message(messages::kMsgCancel));
  downloader_->setLocalizedPleaseWait(message(messages::kMsgPleaseWait));
  // The person chose to stop: nothing was installed, and no alert says otherwise.
  if (!installLock_->acquire(std::getenv("XDG_RUNTIME_DIR"), silent))
    cleanupAndExit(false, naib::NAIB_DOWNLOAD_FAILED, std::nullopt);
}

void Bootstrapper::releaseInstallLock() {
  if (installLock_) installLock_->release();
}

int Bootstrapper::installWithRuntime(const std::string& /*location*/,
                                     const std::vector<std::string>* args) {
  // Application installs on a machine that has the runtime never wait for each other.
  releaseInstallLock();
  std::vector<std::string> list = args ? *args : std::vector<std::string>{};
  list.push_back(*appPath_);
  install::logSubprocessBegin(commandTextFor("Orvel Application Installer", list).c_str());
  // The launch function finds the runtime again itself; the location is only for the log.
  const int status = install::runAppInstaller(list);
  if (status != 0)
    install::logSubprocessFailure("Application Installer", status);
  else
    install::logSubprocessSuccess("Application Installer");
  return status;
}

void Bootstrapper::showDialog(const std::string& text) {
  // A message can wait long for its person; another run's install need not.
  releaseInstallLock();
  ui::ErrorDialogController dialog(presenter_);
  dialog.setMessage(text, message(messages::kMsgOK), appName_);
  dialog.runModal();
}

void Bootstrapper::notifyDownloaderDone(const platform::Notification& n) {
  const bool* success = userInfoValue<bool>(n, download::kDownloaderKeySuccess);
  const download::PathList* files =
      userInfoValue<download::PathList>(n, download::kDownloaderKeyFiles);
  const bool* cancelled = userInfoValue<bool>(n, download::kDownloaderKeyCancelled);
  handleDownloaderDone(success && *success, files && *files ? files->get() : nullptr,
                       cancelled && *cancelled);
}

void Bootstrapper::handleDownloaderDone(bool success, const std::vector<std::string>* files,
                                        bool cancelled) {
  // The person asked for it: no alert tells them the runtime cannot be found.
  if (cancelled) cleanupAndExit(false, naib::NAIB_DOWNLOAD_FAILED, std::nullopt);
  if (!success || !files || files->size() != 2)
    cleanupAndExit(true, naib::NAIB_DOWNLOAD_FAILED, message(messages::kMsgRuntimeNotFound));
  // Copies: the list is the Downloader's own, and the revocation-list run empties it.
  installerLaunchPath_ = (*files)[0];
  const std::string signaturePath = (*files)[1];
  installerFile_.emplace(*installerLaunchPath_);
  // Other processes of the user can write the file, or rename another over its path, at
  // any time. So the verification copies the bytes it digests, in the same read, into a
  // file only this process can reach; that copy is what runs.
  installerCopy_.emplace(kInstallerCopyName);
  verifier_ = std::make_unique<signature::SignatureVerification>(center_, queue_);
  verifier_->setDownloader(downloader_);
  verifier_->setDataDescriptor(installerFile_->descriptor());
  if (installerCopy_->descriptor() >= 0) verifier_->setDataCopy(installerCopy_->descriptor());
  verifier_->verifyDataAtPath(*installerLaunchPath_, signaturePath);
}

void Bootstrapper::notifySignatureDone(const platform::Notification& n) {
  const signature::SignatureVerdict verdict = signature::verdictOf(n);
  handleSignatureDone(verdict.valid, verdict.verifier, verdict.cancelled);
}

void Bootstrapper::handleSignatureDone(bool valid, const void* signatureVerifier, bool cancelled) {
  // Safe here: the verdict was queued, so none of the verifier's code is on the stack.
  if (verifier_ && verifier_.get() == signatureVerifier) verifier_.reset();
  if (cancelled) cleanupAndExit(false, naib::NAIB_DOWNLOAD_FAILED, std::nullopt);
  if (!valid)
    cleanupAndExit(true, naib::NAIB_SIGNATURE_INVALID, message(messages::kMsgValidationFailed));
  // Whatever was done to the file since the verification read it, the copy holds what the
  // signature covers; sealed first thing, nobody can change it any more.
  const bool sealed = installerCopy_ && installerCopy_->seal();
  if (!markAsExecutable(*installerFile_))
    cleanupAndExit(true, naib::NAIB_DOWNLOAD_FAILED, message(messages::kMsgValidationFailed));
  const auto status = installWithInstaller(*installerLaunchPath_, downloader_->runtimeArgs(),
                                           sealed ? installerCopy_->descriptor() : -1);
  // An installer that cannot even start (no executable copy could be made, say) must not
  // end silently: the person is told the install failed.
  if (!status)
    cleanupAndExit(true, naib::NAIB_DOWNLOAD_FAILED, message(messages::kMsgInstallFailed));
  cleanupAndExit(false, *status, std::nullopt);
}

bool Bootstrapper::markAsExecutable(platform::HeldFile& file) {
  return file.addExecutePermission();
}

std::optional<int> Bootstrapper::installWithInstaller(const std::string& installerPath,
                                                      const std::vector<std::string>& args,
                                                      int programDescriptor) {
  std::vector<std::string> list = args.empty() ? std::vector<std::string>{"-x1"} : args;
  list.push_back(*appPath_);
  install::logSubprocessBegin(commandTextFor("Orvel Runtime Installer", list).c_str());
  const auto status = programDescriptor >= 0
                          ? platform::runTask(installerPath, list, programDescriptor)
                          : std::nullopt;
  const int reported = status.value_or(naib::NAIB_DOWNLOAD_FAILED);
  if (reported != 0)
    install::logSubprocessFailure("Runtime Installer", reported);
  else
    install::logSubprocessSuccess("Runtime Installer");
  return status;
}

void Bootstrapper::cleanupAndExit(bool showError, int code, std::optional<std::string> text) {
  // A signal that came before the end decides it; one during the end does not interrupt it.
  platform::deliverPendingTermination();
  if (code == 0) {
    install::logApplicationEnd(true, kName, 0);
  } else {
    if (showError) {
      // "Not found" on the server means no runtime is published for this system; that is
      // only what a failed runtime download can mean. Once the installer has arrived, a
      // not-found error can only come from a revocation list and says nothing about the
      // system, so the failure's own message stands.
      const auto& lastError = downloader_->lastError();
      const bool runtimeNotPublished = !installerLaunchPath_ && lastError &&
                                       lastError->domain == platform::kNSURLErrorDomain &&
                                       lastError->code == platform::kUrlErrorFileDoesNotExist;
      if (runtimeNotPublished)
        showDialog(message(messages::kMsgSystemUnsupported));
      else
        okAlert(text ? *text : message(messages::kMsgInstallFailed));
    }
    install::logApplicationEnd(false, kName, code);
  }
  downloader_->cleanupTempFiles();
  std::exit(code);
}

void Bootstrapper::terminate(int signalNumber) {
  const int code = 128 + signalNumber;
  presenter_.closeProgress();
  install::logApplicationEnd(false, kName, code);
  // The private directory goes whole, with a transfer's partial file in it.
  if (downloader_)
    downloader_->cleanupTempFiles();
  else
    platform::removeTemporaryDirectory();
  std::exit(code);
}

void Bootstrapper::okAlert(const std::string& text) {
  releaseInstallLock();
  presenter_.runAlert(appName_, text, message(messages::kMsgOK));
}

}  // namespace bootstrap
