#pragma once
// The application delegate: derives its names from the executable, takes the launch
// decision, drives the download, verification and runtime install to their end, and ends
// the process. One instance lives for the whole process.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bootstrap/LaunchDecision.h"
#include "platform/files/SealedCopy.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/Observable.h"
#include "ui/Presenter.h"

namespace download {
class Downloader;
struct CarriedFile;
}  // namespace download
namespace naib {
class ParamChecker;
}
namespace platform {
class Bundle;
}
namespace signature {
class SignatureVerification;
}

namespace bootstrap {

class InstallLock;

class Bootstrapper {
 public:
  /// arguments: the process's argument vector (argument 0 names the executable);
  /// mainBundle: the running executable's bundle. Registers for the download-done and
  /// verification-done notifications with center.
  Bootstrapper(std::vector<std::string> arguments, const platform::Bundle& mainBundle,
               platform::NotificationCenter& center, platform::NotificationQueue& queue,
               ui::Presenter& presenter);
  ~Bootstrapper();
  Bootstrapper(const Bootstrapper&) = delete;
  Bootstrapper& operator=(const Bootstrapper&) = delete;

  /// The outlet to the one Downloader of the process; set before the launch callback.
  void setDownloader(std::shared_ptr<download::Downloader> downloader) {
    downloader_ = std::move(downloader);
  }
  /// The per-user lock around the runtime's install, which outlives this object; set
  /// before the launch callback. Without one, runs do not wait for each other.
  void setInstallLock(InstallLock* lock) { installLock_ = lock; }

  /// The launch decision. Ends the process on every road but the download, which returns
  /// to the run loop with the Downloader started.
  void applicationDidFinishLaunching();

  /// Runs the installed runtime's Application Installer with args and the package path;
  /// returns its status (or the launch function's own failure code).
  int installWithRuntime(const std::string& location, const std::vector<std::string>* args);
  /// Runs the downloaded runtime installer from programDescriptor, its sealed copy, with
  /// args ("-x1" when none) and the package path; installerPath is its argument 0. Returns
  /// its status; nullopt when it could not be started at all (also when programDescriptor
  /// is -1: a file that others can still change is never started).
  std::optional<int> installWithInstaller(const std::string& installerPath,
                                          const std::vector<std::string>& args,
                                          int programDescriptor);

  void notifyDownloaderDone(const platform::Notification& notification);
  /// cancelled: the person pressed Cancel; the run ends with 11 and shows nothing.
  void handleDownloaderDone(bool success, const std::vector<std::string>* files,
                            bool cancelled = false);
  void notifySignatureDone(const platform::Notification& notification);
  /// cancelled: the person cancelled the revocation-list download; nothing runs.
  void handleSignatureDone(bool valid, const void* signatureVerifier, bool cancelled = false);

  /// The modal error dialog with message; returns when the person dismisses it. Gives up
  /// the install lock first.
  void showDialog(const std::string& message);
  /// The modal one-button alert with message; returns when dismissed. Gives up the install
  /// lock first.
  void okAlert(const std::string& message);
  /// Logs the end, tells the person if showError (and the code is not 0), removes the
  /// temporary files and ends the process with code.
  [[noreturn]] void cleanupAndExit(bool showError, int code, std::optional<std::string> message);
  /// Ends the run for a termination signal at whatever point it is: clears the progress
  /// line, logs the end as a failure with 128 + signalNumber, removes the temporary files
  /// and exits with that code. Shows nothing. Called from the run loop or a wait, never
  /// from a signal handler.
  [[noreturn]] void terminate(int signalNumber);

  const std::string& appName() const { return appName_; }
  void setAppName(std::string name) { appName_ = std::move(name); }
  /// "Installing " (localized) followed by the package name; the progress window's title.
  platform::Observable<std::string>& localizedWindowTitle() { return localizedWindowTitle_; }
  void setLocalizedWindowTitle(std::string title) { localizedWindowTitle_.set(std::move(title)); }

 private:
  struct LaunchWork;
  /// Finds fact out for the launch decision, into facts; what a road out needs of it goes
  /// into work.
  void findOut(LaunchFact fact, LaunchFacts& facts, LaunchWork& work, bool silent);
  /// Takes the decided road: returns on the download roads, with the Downloader started,
  /// and ends the process on every other.
  void takeRoad(const LaunchDecision& decision, LaunchWork& work, naib::ParamChecker& checker,
                bool silent);
  /// Logs the start line and removes abandoned private directories; returns whether the
  /// package directory is there.
  bool startRun();
  /// Detects the installed runtime and logs what it found; location gets the runtime's
  /// location when there is one.
  RuntimeFound detectRuntime(std::optional<std::string>& location);
  /// Configures the Downloader for the runtime installer and its signature (copied when
  /// work carries them) and starts it.
  void startRuntimeDownload(LaunchWork& work, bool silent, const std::vector<std::string>* params);
  /// Logs the end and ends the process with code.
  [[noreturn]] void endLaunch(int code);
  /// The one place the process ends: removes the temporary files and exits with code.
  [[noreturn]] void exitProcess(int code);
  /// The files the bundle carries for this machine's installer and signature URLs, in that
  /// order; empty unless it carries both (a bundle with only one carries no runtime).
  std::vector<std::optional<download::CarriedFile>> carriedRuntime() const;
  /// Makes the coming run copy files (the runtime's, and the current revocation lists it
  /// carries) out of the bundle instead of fetching them. Call after setUrlStrings.
  void useCarriedRuntime(std::vector<std::optional<download::CarriedFile>> files);
  /// Waits for the install lock (see InstallLock); ends the run with 11 when the person
  /// cancels the wait.
  void waitForInstallLock(bool silent);
  /// The runtime's install is over or will not happen: other runs may go on.
  void releaseInstallLock();
  /// The progress window's Cancel and please-wait texts, in the person's language.
  void setProgressTexts();

  std::vector<std::string> arguments_;
  std::string exePath_;
  std::optional<std::string> appPath_;
  std::string lookedForAppPath_;  // the package path, kept for the log when it is missing
  std::string carriedTree_;       // the bundle's copy of the published download tree
  std::string appName_;
  std::optional<std::string> installerLaunchPath_;
  // The file the runtime installer is downloaded into, which only this process can reach:
  // sealed once the download is done, verified, and what runs.
  std::optional<platform::SealedCopy> installerCopy_;
  platform::Observable<std::string> localizedWindowTitle_;
  std::optional<std::string> bundleVersion_;
  std::shared_ptr<download::Downloader> downloader_;
  InstallLock* installLock_ = nullptr;
  // The verifier of the downloaded installer: created when the download succeeds, released
  // when its verdict arrives.
  std::unique_ptr<signature::SignatureVerification> verifier_;
  platform::NotificationCenter& center_;
  platform::NotificationQueue& queue_;
  ui::Presenter& presenter_;
};

/// The package name: the executable's file name without a leading "Install " (exact case).
std::string packageNameFor(const std::string& executableName);
/// Whether name can name a directory inside the resources: not empty, ".", ".." nor
/// holding "/". Argument 0 is whatever the caller chose, so it can name anything.
bool isUsablePackageName(const std::string& name);

/// The install-log text of a launched installer: the quoted name, then each argument
/// followed by one blank.
std::string commandTextFor(const std::string& installerName, const std::vector<std::string>& args);

}  // namespace bootstrap
