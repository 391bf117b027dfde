#pragma once
// The install support library, platform layer.

#include <cstdarg>
#include <optional>
#include <string>
#include <vector>

#include "libinstall/LibInstall.h"

namespace install {

/// Hands one line to the system log (vsyslog) at severity's priority; -3 for a severity
/// outside 0 to 3, else 0. Called only by installLog.
int platform_installLog(severity_t severity, const char* format, va_list args)
    __attribute__((format(printf, 2, 0)));

/// Path of the first "Frameworks/Halvex Orvel.framework" that exists under the local,
/// network and system Library directories, in that order; nullopt when none.
std::optional<std::string> getRuntimeLocation();

int platform_getRuntimeVersion(RuntimeVersionInfo& info);

/// 0 and info filled when the bundle at bundlePath has a four-number CFBundleVersion.
int platform_getFileVersion(const char* bundlePath, RuntimeVersionInfo& info);

/// Runs the runtime's Application Installer with args and waits: its exit status; 3 when no
/// runtime is found, 5 when the installer or its executable is missing or cannot start.
int runAppInstaller(const std::vector<std::string>& args);

void platform_getPlatformInfo(PlatformInfo& info);
int platform_getConfigurationValue(const char* key);
bool platform_updateDisabledFileExists();

}  // namespace install
