#include "bootstrap/Bootstrapper.h"

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

struct DownloadUrls {
  std::string installer;
  std::string signature;
};

// The runtime installer's and its signature's URLs for this machine; nullopt when they
// cannot be composed.
std::optional<DownloadUrls> downloadUrls() {
  char installerUrl[kUrlBufferSize];
  char signatureUrl[kUrlBufferSize];
  if (!install::getBootstrapperDownloadUrls(installerUrl, kUrlBufferSize, signatureUrl,
                                            kUrlBufferSize))
    return std::nullopt;
  return DownloadUrls{installerUrl, signatureUrl};
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

// What the launch's steps found that its roads out need, beside the decision's facts.
struct Bootstrapper::LaunchWork {
  std::optional<std::string> runtimeLocation;
  std::vector<std::optional<download::CarriedFile>> carried;
  std::optional<DownloadUrls> urls;
};

void Bootstrapper::applicationDidFinishLaunching() {
  naib::ParamChecker checker(arguments_);
  bool silent = false;
  naib::NAIBErrorCode code = naib::NAIB_BAD_PARAMS;
  LaunchFacts facts;
  facts.commandLineAccepted = checker.CheckParams(facts.allowDownload, silent, code);
  facts.commandLineCode = code;

  LaunchWork work;
  LaunchDecision decision = decideLaunch(facts);
  while (const LaunchFact* fact = std::get_if<LaunchFact>(&decision.next)) {
    findOut(*fact, facts, work, silent);
    decision = decideLaunch(facts);
  }
  takeRoad(decision, work, checker, silent);
}

void Bootstrapper::findOut(LaunchFact fact, LaunchFacts& facts, LaunchWork& work, bool silent) {
  switch (fact) {
    case LaunchFact::kPackage:
      facts.packagePresent = startRun();
      return;
    case LaunchFact::kRuntime:
      waitForInstallLock(silent);
      facts.runtime = detectRuntime(work.runtimeLocation);
      return;
    case LaunchFact::kCarriedRuntime:
      work.carried = carriedRuntime();
      facts.carriedRuntime = !work.carried.empty();
      return;
    case LaunchFact::kUpdatePolicy:
      facts.updateAllowed = install::canUpdateRuntime();
      return;
    case LaunchFact::kDownloadUrls:
      work.urls = downloadUrls();
      facts.downloadUrlsComposed = work.urls.has_value();
      return;
  }
}

void Bootstrapper::takeRoad(const LaunchDecision& decision, LaunchWork& work,
                            naib::ParamChecker& checker, bool silent) {
  switch (std::get<LaunchRoad>(decision.next)) {
    case LaunchRoad::kDownloadRuntime:
    case LaunchRoad::kCopyCarriedRuntime:
      startRuntimeDownload(work, silent, checker.ParamArray());
      return;
    case LaunchRoad::kCommandLineRejected:
      exitProcess(*decision.exitCode);
    case LaunchRoad::kApplicationInstaller:
      endLaunch(installWithRuntime(*work.runtimeLocation, checker.ParamArray()));
    case LaunchRoad::kPackageMissing:
      install::logCouldNotLocateAppDir(lookedForAppPath_.c_str());
      break;
    case LaunchRoad::kNeedsAllowDownload:
      install::logMissingAllowDownloadFlag();
      checker.PrintNeedsAllowDownloadFlag();
      break;
    case LaunchRoad::kUpdateDisabled:
      install::logImmediateUpdateDisabled();
      showDialog(message(messages::kMsgUpdateDisallowed));
      break;
    case LaunchRoad::kNoDownloadUrls:
      break;
  }
  endLaunch(*decision.exitCode);
}

bool Bootstrapper::startRun() {
  // A bundle without a version still gets its start line; "unknown" says so plainly.
  install::logApplicationBegin(kName, bundleVersion_.value_or("unknown").c_str(), "Mac", "x86");
  // A killed run (or a power loss) left its private directory, with an installer of up to
  // a gigabyte in it, for good; whichever road this run takes, it goes now.
  platform::removeAbandonedTemporaryDirectories();
  return appPath_.has_value();
}

RuntimeFound Bootstrapper::detectRuntime(std::optional<std::string>& location) {
  install::RuntimeVersionInfo version{};
  if (install::getRuntimeVersion(version) != install::kInstallOk) {
    install::logRuntimeNotInstalled();
    return {};
  }
  location = install::getRuntimeLocation();
  install::logRuntimeInstalled(version.major, version.minor, version.bugfix, version.build,
                               location.value_or("").c_str());
  return {true, version.major, location.has_value()};
}

void Bootstrapper::startRuntimeDownload(LaunchWork& work, bool silent,
                                        const std::vector<std::string>* params) {
  downloader_->setUrlStrings({work.urls->installer, work.urls->signature});
  downloader_->setLimits({download::kRuntimeLimits, download::kSignatureLimits});
  if (!work.carried.empty()) useCarriedRuntime(std::move(work.carried));
  // Other processes of the user can write any file of ours, or rename another over its
  // path, at any time. So the installer's bytes go straight into a file only this process
  // can reach, which is sealed before they are verified: what the signature covers is what
  // runs, and no second copy of a large installer is ever made.
  installerCopy_.emplace(kInstallerCopyName);
  if (installerCopy_->descriptor() >= 0)
    downloader_->setPrivateDestinations({installerCopy_->descriptor()});
  downloader_->setSilent(silent);
  setProgressTexts();
  downloader_->setRuntimeArgs(params ? *params : std::vector<std::string>{});
  downloader_->startDownload(download::kInstallerDownloadDone);
}

void Bootstrapper::endLaunch(int code) {
  // A signal taken while the Application Installer ran decides the code, once its own end
  // is logged.
  platform::deliverPendingTermination();
  install::logApplicationEnd(code == 0, kName, code);
  exitProcess(code);
}

std::vector<std::optional<download::CarriedFile>> Bootstrapper::carriedRuntime() const {
  // A bundle without the folder costs today's road nothing but this one look.
  bool isDirectory = false;
  if (!platform::fileExists(carriedTree_, isDirectory) || !isDirectory) return {};
  const auto urls = downloadUrls();
  if (!urls) return {};
  const auto installer = download::carriedFileIn(carriedTree_, urls->installer);
  const auto signature = download::carriedFileIn(carriedTree_, urls->signature);
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
  setProgressTexts();
  // The person chose to stop: nothing was installed, and no alert says otherwise.
  if (!installLock_->acquire(std::getenv("XDG_RUNTIME_DIR"), silent))
    cleanupAndExit(false, naib::NAIB_DOWNLOAD_FAILED, std::nullopt);
}

void Bootstrapper::setProgressTexts() {
  downloader_->setLocalizedCancel(message(messages::kMsgCancel));
  downloader_->setLocalizedPleaseWait(message(messages::kMsgPleaseWait));
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
  const download::DownloadDone done = download::downloadDoneOf(n);
  handleDownloaderDone(done.success, done.files.get(), done.cancelled);
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
  verifier_ = std::make_unique<signature::SignatureVerification>(center_, queue_);
  verifier_->setDownloader(downloader_);
  // Without a copy the bytes are in the file at the path, verified from there; such an
  // installer is never started (see installWithInstaller).
  if (installerCopy_ && installerCopy_->seal())
    verifier_->setDataDescriptor(installerCopy_->descriptor());
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
  const bool sealed = installerCopy_ && installerCopy_->seal();
  if (sealed && !installerCopy_->addExecutePermission())
    cleanupAndExit(true, naib::NAIB_DOWNLOAD_FAILED, message(messages::kMsgValidationFailed));
  const auto status = installWithInstaller(*installerLaunchPath_, downloader_->runtimeArgs(),
                                           sealed ? installerCopy_->descriptor() : -1);
  // An installer that cannot even start (no executable copy could be made, say) must not
  // end silently: the person is told the install failed.
  if (!status)
    cleanupAndExit(true, naib::NAIB_DOWNLOAD_FAILED, message(messages::kMsgInstallFailed));
  cleanupAndExit(false, *status, std::nullopt);
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
  const EndMessage end =
      endMessageFor(code, downloader_->lastError(), installerLaunchPath_.has_value(), showError,
                    text.has_value());
  const std::string shown =
      end.catalogueMessage ? message(*end.catalogueMessage) : text.value_or("");
  if (end.window == EndMessage::Window::kDialog) showDialog(shown);
  if (end.window == EndMessage::Window::kAlert) okAlert(shown);
  install::logApplicationEnd(code == 0, kName, code);
  exitProcess(code);
}

void Bootstrapper::terminate(int signalNumber) {
  const int code = 128 + signalNumber;
  presenter_.closeProgress();
  install::logApplicationEnd(false, kName, code);
  exitProcess(code);
}

void Bootstrapper::exitProcess(int code) {
  // The private directory goes whole, with a transfer's partial file in it. Before the
  // Downloader made one there is none, and nothing to remove.
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
