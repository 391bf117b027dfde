#include "libinstall/LibInstall.h"

#include <cstdio>

#include "libinstall/MacInstall.h"

namespace install {

bool _logToStdout = false;

int installLog(severity_t severity, const char* format, ...) {
  va_list args;
  va_start(args, format);
  if (_logToStdout) {
    // The copy consumes its own list: the system log below needs the arguments again.
    va_list copy;
    va_copy(copy, args);
    std::fputs("status ", stdout);
    std::vfprintf(stdout, format, copy);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    va_end(copy);
  }
  const int result = platform_installLog(severity, format, args);
  va_end(args);
  return result;
}

// ---- Runtime version, update policy and download URLs.

namespace {

const char* osName(std::int32_t os) {
  switch (os) {
    case kOsMac:
      return "macos";
    case kOsWindows:
      return "windows";
    default:
      return "unknown";
  }
}

const char* archName(std::int32_t arch) {
  switch (arch) {
    case kArchX86:
      return "x86";
    case kArchPpc:
      return "ppc";
    default:
      return "unknown";
  }
}

// The host is a build setting and goes in as an argument, never into the format, so a "%" in
// it cannot become a conversion.
void composeUrl(char* buffer, unsigned long size, const PlatformInfo& info, const char* file) {
  std::snprintf(buffer, size, "http://%s/orvel/3/nai/%s%d.%d/%s/%s", NAIB_DOWNLOAD_HOST,
                osName(info.os), info.osMajor, info.osMinor, archName(info.arch), file);
}

}  // namespace

int getRuntimeVersion(RuntimeVersionInfo& info) {
  return platform_getRuntimeVersion(info);
}

bool canUpdateRuntime() {
  if (platform_updateDisabledFileExists()) return false;
  return platform_getConfigurationValue("UpdateDisabled") != 1;
}

bool getBootstrapperDownloadUrls(char* installerUrl, unsigned long installerUrlSize,
                                 char* signatureUrl, unsigned long signatureUrlSize) {
  // A missing buffer with room claimed for it cannot be written; refuse before touching
  // either one.
  if ((installerUrl == nullptr && installerUrlSize != 0) ||
      (signatureUrl == nullptr && signatureUrlSize != 0)) {
    return false;
  }
  PlatformInfo info{};
  platform_getPlatformInfo(info);
  if (info.os == kOsUnknown || info.arch == kArchUnknown || info.osMajor == 0) return false;
  composeUrl(installerUrl, installerUrlSize, info, "installer");
  composeUrl(signatureUrl, signatureUrlSize, info, "installer.p7");
  return true;
}

}  // namespace install
