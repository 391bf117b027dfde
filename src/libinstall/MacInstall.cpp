#include "libinstall/MacInstall.h"

#include <syslog.h>

#include <cstdio>
#include <utility>

#include "libinstall/MacSystemVersion.h"
#include "libinstall/NumberScanning.h"
#include "platform/files/Bundle.h"
#include "platform/files/FileSystem.h"
#include "platform/files/SearchPaths.h"
#include "platform/runloop/Task.h"

namespace install {
namespace {

InstallLogSink& logSink() {
  static InstallLogSink sink;
  return sink;
}

// The line as the system log formats it, for a sink that stands in for the log.
__attribute__((format(printf, 1, 0))) std::string formatted(const char* format, va_list args) {
  va_list measure;
  va_copy(measure, args);
  const int length = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (length <= 0) return {};
  std::string line(static_cast<std::size_t>(length), '\0');
  std::vsnprintf(line.data(), line.size() + 1, format, args);
  return line;
}

}  // namespace

InstallLogSink setInstallLogSink(InstallLogSink sink) {
  return std::exchange(logSink(), std::move(sink));
}

int platform_installLog(severity_t severity, const char* format, va_list args) {
  int priority;
  switch (severity) {
    case kSeverityError:
      priority = LOG_ERR;
      break;
    case kSeverityWarning:
      priority = LOG_WARNING;
      break;
    case kSeverityNotice:
      priority = LOG_NOTICE;
      break;
    case kSeverityDebug:
      priority = LOG_DEBUG;
      break;
    default:
      return kInstallFailure;
  }
  // A copy: the sink may replace itself.
  if (const InstallLogSink sink = logSink()) {
    sink(severity, formatted(format, args));
    return kInstallOk;
  }
  // The process defaults stand: no openlog, so the system's identity and facility apply.
  vsyslog(priority, format, args);
  return kInstallOk;
}

// ---- Runtime detection, the Application Installer and platform information.

namespace {

constexpr const char kFrameworkPath[] = "Frameworks/Halvex Orvel.framework";
constexpr const char kAppInstallerPath[] = "Versions/1.0/Halvex Orvel Application Installer.app";
constexpr const char kUpdateDisabledMarker[] = "Halvex/Orvel/updateDisabled";
constexpr int kAppInstallerNoRuntime = 3;
constexpr int kAppInstallerUnusable = 5;

}  // namespace

std::optional<std::string> getRuntimeLocation() {
  // The user's own Library is left out on purpose: the runtime is installed for the machine.
  const auto libraries = platform::searchPathForDirectoriesInDomains(
      platform::kLibraryDirectory,
      platform::kLocalDomainMask | platform::kNetworkDomainMask | platform::kSystemDomainMask);
  for (const auto& library : libraries) {
    std::string candidate = platform::appendPathComponent(library, kFrameworkPath);
    if (platform::fileExists(candidate)) return candidate;
  }
  return std::nullopt;
}

int platform_getRuntimeVersion(RuntimeVersionInfo& info) {
  const auto location = getRuntimeLocation();
  if (!location) return kInstallFailure;
  return platform_getFileVersion(location->c_str(), info);
}

bool scanRuntimeVersion(std::string_view text, RuntimeVersionInfo& info) {
  std::int32_t numbers[4];
  std::size_t pos = 0;
  for (int i = 0; i < 4; ++i) {
    if (i > 0 && !scanString(text, pos, ".")) return false;
    if (!scanInt(text, pos, numbers[i])) return false;
  }
  info = RuntimeVersionInfo{numbers[0], numbers[1], numbers[2], numbers[3]};
  return true;
}

int platform_getFileVersion(const char* bundlePath, RuntimeVersionInfo& info) {
  if (bundlePath == nullptr) return kInstallFailure;
  const auto bundle = platform::Bundle::withPath(bundlePath);
  if (!bundle) return kInstallFailure;
  const auto version = bundle->infoString("CFBundleVersion");
  if (!version || !scanRuntimeVersion(*version, info)) return kInstallFailure;
  return kInstallOk;
}

int runAppInstaller(const std::vector<std::string>& args) {
  const auto location = getRuntimeLocation();
  if (!location) return kAppInstallerNoRuntime;
  const auto installer =
      platform::Bundle::withPath(platform::appendPathComponent(*location, kAppInstallerPath));
  if (!installer) return kAppInstallerUnusable;
  const auto executable = installer->executablePath();
  if (!executable) return kAppInstallerUnusable;
  // An installer that is there but cannot be started is as unusable as a missing one.
  return platform::runTask(*executable, args).value_or(kAppInstallerUnusable);
}

void platform_getPlatformInfo(PlatformInfo& info) {
  if (MacSystemVersion::sCachedSystemVersion == MacSystemVersion::sMacSystemVersionUninitialized) {
    MacSystemVersion::sCachedSystemVersion = MacSystemVersion::GetSystemVersion();
  }
  const MacSystemVersion& version = MacSystemVersion::sCachedSystemVersion;
  info.os = kOsMac;
  info.osMajor = version.major;
  info.osMinor = version.minor;
  info.osBugfix = version.bugfix;
  info.arch = kArchX86;
}

int platform_getConfigurationValue(const char* /*key*/) {
  return 0;
}

bool platform_updateDisabledFileExists() {
  const auto supportDirs = platform::searchPathForDirectoriesInDomains(
      platform::kApplicationSupportDirectory, platform::kUserDomainMask);
  if (supportDirs.empty()) return false;
  return platform::fileExists(
      platform::appendPathComponent(supportDirs.front(), kUpdateDisabledMarker));
}

}  // namespace install
