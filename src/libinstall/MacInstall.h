#pragma once
// The install support library, platform layer.

#include <cstdarg>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "libinstall/LibInstall.h"

namespace install {

/// Hands one line to the system log (vsyslog) at severity's priority, or to the sink that
/// setInstallLogSink set; -3 for a severity outside 0 to 3, else 0. Called only by
/// installLog.
int platform_installLog(severity_t severity, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

/// Path of the first "Frameworks/Halvex Orvel.framework" that exists under the local,
/// network and system Library directories, in that order; nullopt when none.
std::optional<std::string> getRuntimeLocation();

/// 0 and info filled with the version of the framework getRuntimeLocation() finds; -3, info
/// untouched, when there is none or its version cannot be read.
int platform_getRuntimeVersion(RuntimeVersionInfo& info);

/// 0 and info filled when the bundle at bundlePath (UTF-8) has a four-number
/// CFBundleVersion; -3, info untouched, otherwise (a null path included).
int platform_getFileVersion(const char* bundlePath, RuntimeVersionInfo& info);

/// Reads "integer . integer . integer . integer" from the start of text with scanInt and
/// scanString (NumberScanning.h): white space may stand before each item, text after the
/// fourth integer is ignored. True and info filled when all seven steps succeed; false,
/// info untouched, otherwise.
bool scanRuntimeVersion(std::string_view text, RuntimeVersionInfo& info);

/// Runs the runtime's Application Installer with args and waits: its exit status; 3 when no
/// runtime is found, 5 when the installer or its executable is missing or cannot start.
int runAppInstaller(const std::vector<std::string>& args);

/// Fills all five fields: macOS on x86, with the system version read once per process.
void platform_getPlatformInfo(PlatformInfo& info);

/// The configuration value for key: 0 for every key, as this platform has no
/// configuration store.
int platform_getConfigurationValue(const char* key);

/// True when anything (file or directory) exists at "Halvex/Orvel/updateDisabled" in the
/// user's own application-support directory.
bool platform_updateDisabledFileExists();

}  // namespace install
