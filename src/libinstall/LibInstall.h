#pragma once
// The install support library, portable layer: the install log entry point, runtime
// version query, update policy and download URLs. Each portable function stands over a
// platform_ function of MacInstall.h.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace install {

/// Result codes of the library.
inline constexpr int kInstallOk = 0;
inline constexpr int kInstallFailure = -3;

enum severity_t : std::int32_t {
  kSeverityError = 0,    ///< LOG_ERR
  kSeverityWarning = 1,  ///< LOG_WARNING
  kSeverityNotice = 2,   ///< LOG_NOTICE
  kSeverityDebug = 3,    ///< LOG_DEBUG
};

/// When true, every install-log line is also written to standard output after "status ".
/// Nothing in the bootstrapper sets it.
extern bool _logToStdout;

/// Writes one line to the system log at severity's priority (and the standard-output copy).
/// Returns 0, or -3 when severity is not one of the four values (nothing reaches the log).
int installLog(severity_t severity, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// Takes the install-log lines in place of the system log: the severity (one of the four)
/// and the line formatted as the system log would format it.
using InstallLogSink = std::function<void(severity_t severity, const std::string& line)>;

/// From the next line on, hands the lines meant for the system log to sink instead; an
/// empty sink, as at start, gives them back to the system log. The standard-output copy
/// stays as _logToStdout says. Returns the sink replaced. Main thread only.
InstallLogSink setInstallLogSink(InstallLogSink sink);

struct RuntimeVersionInfo {
  std::int32_t major;
  std::int32_t minor;
  std::int32_t bugfix;
  std::int32_t build;
};

/// 0 and info filled when a runtime is installed and its four-part version was read;
/// -3 otherwise, info untouched.
int getRuntimeVersion(RuntimeVersionInfo& info);

enum : std::int32_t { kOsUnknown = 0, kOsWindows = 1, kOsMac = 2 };
enum : std::int32_t { kArchUnknown = 0, kArchX86 = 1, kArchPpc = 2 };

struct PlatformInfo {
  std::int32_t os;
  std::int32_t osMajor;
  std::int32_t osMinor;
  std::int32_t osBugfix;
  std::int32_t arch;
};

/// False when the update-disabled marker exists or the configuration disables updates.
bool canUpdateRuntime();

/// The two download URLs of one platform: the runtime installer and its detached signature.
struct DownloadUrls {
  std::string installer;
  std::string signature;
};

/// The URLs that a machine described by info downloads from, on the configured download
/// host; nullopt for an unknown OS or architecture or an OS major version of 0. Pure: the
/// program passes its own platform record, publishing tools any other.
std::optional<DownloadUrls> composeDownloadUrls(const PlatformInfo& info);

/// The architecture whose name the URLs use ("x86", "ppc"); nullopt for any other name.
std::optional<std::int32_t> archFromName(std::string_view name);

/// Writes the installer and signature URLs of this machine (platform_getPlatformInfo), each cut to
/// its buffer like snprintf; false, buffers untouched, for an unknown OS or architecture or an OS
/// major version of 0.
bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize);

}  // namespace install
