#pragma once
// The launch decision and the choice of what ends a run, as pure functions of what the run
// has found out. The Bootstrapper finds the facts out and takes the roads; this unit only
// decides, so that every road and its exit code can be checked without a process.

#include <cstdint>
#include <optional>
#include <variant>

#include "platform/url/UrlDownload.h"

namespace bootstrap {

/// What runtime detection found.
struct RuntimeFound {
  bool installed = false;  ///< a runtime's version could be read
  std::int32_t major = 0;  ///< its major version number
  bool located = false;    ///< its framework's location is known
};

/// What the launch has found out so far. A fact that is still nullopt has not been looked
/// at: the launch finds facts out one at a time, when decideLaunch asks for them.
struct LaunchFacts {
  bool commandLineAccepted = false;                   ///< the parameter checker's verdict
  int commandLineCode = 0;                            ///< the code the checker set
  bool allowDownload = false;                         ///< the command line's download flag
  std::optional<bool> packagePresent = std::nullopt;  ///< the bundle holds the application package
  std::optional<RuntimeFound> runtime = std::nullopt;
  /// The bundle carries the runtime's installer and signature for this machine.
  std::optional<bool> carriedRuntime = std::nullopt;
  std::optional<bool> updateAllowed = std::nullopt;  ///< the machine lets the runtime be updated
  std::optional<bool> downloadUrlsComposed = std::nullopt;
};

/// A fact the launch finds out only when the decision asks for it, and what finding it out
/// takes.
enum class LaunchFact {
  kPackage,  ///< log the start, remove abandoned private directories, check the package
  kRuntime,  ///< wait for the install lock, then detect the runtime
  kCarriedRuntime,
  kUpdatePolicy,
  kDownloadUrls,
};

/// A road out of the launch.
enum class LaunchRoad {
  kCommandLineRejected,   ///< nothing logged: the checker's own output is the only trace
  kPackageMissing,        ///< logged, nothing shown
  kApplicationInstaller,  ///< the package goes to the installed runtime's installer
  kNeedsAllowDownload,    ///< logged, and the missing-flag sentence printed
  kUpdateDisabled,        ///< logged, and the update-disabled dialog shown
  kNoDownloadUrls,
  kDownloadRuntime,     ///< the runtime installer and its signature are fetched
  kCopyCarriedRuntime,  ///< they are copied out of the bundle instead
};

struct LaunchDecision {
  std::variant<LaunchFact, LaunchRoad> next;
  /// The exit code of a road that ends the launch with a code of its own; nullopt on the
  /// other roads (the Application Installer's road ends with that installer's status).
  std::optional<int> exitCode = std::nullopt;
  bool operator==(const LaunchDecision&) const = default;
};

/// The launch's next step for facts: the first fact that the road out depends on and that
/// is still unknown, in the order of LaunchFact, else the road out. A fact the road does
/// not depend on is never asked for (the update policy only of a machine that has a
/// runtime, for instance).
LaunchDecision decideLaunch(const LaunchFacts& facts);

/// What tells the person that a run ends.
struct EndMessage {
  enum class Window { kNone, kAlert, kDialog };
  Window window = Window::kNone;
  /// The catalogue message the window shows; nullopt: the text the caller gave.
  std::optional<int> catalogueMessage = std::nullopt;
  bool operator==(const EndMessage&) const = default;
};

/// What ends a run with code. showError and messageGiven are those of cleanupAndExit;
/// lastError is the Downloader's last error; installerArrived: the runtime installer was
/// downloaded. Nothing for code 0 or without showError; the system-unsupported dialog when
/// the installer never arrived because the server has none; else an alert with the given
/// message, or with the install-failed message when none is given.
EndMessage endMessageFor(int code, const std::optional<platform::UrlError>& lastError,
                         bool installerArrived, bool showError, bool messageGiven);

}  // namespace bootstrap
