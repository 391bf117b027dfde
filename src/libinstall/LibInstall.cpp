#include "libinstall/LibInstall.h"

#include <cstdio>
#include <string>

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

// The path format of the download server: /orvel/3/nai/<os><major>.<minor>/<arch>/<file>.
// Built by concatenation, so the host (a build setting) can never act as a format.
std::string composeUrl(const PlatformInfo& info, const char* file) {
  return std::string("http://") + NAIB_DOWNLOAD_HOST + "/orvel/3/nai/" + osName(info.os) +
         std::to_string(info.osMajor) + "." + std::to_string(info.osMinor) + "/" +
         archName(info.arch) + "/" + file;
}

// snprintf semantics over a caller's buffer: cut to size - 1 and terminated; size 0 writes
// nothing.
void copyCut(const std::string& url, char* buffer, unsigned long size) {
  std::snprintf(buffer, size, "%s", url.c_str());
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
  const auto urls = composeDownloadUrls(info);
  if (!urls) return false;
  copyCut(urls->installer, installerUrl, installerUrlSize);
  copyCut(urls->signature, signatureUrl, signatureUrlSize);
  return true;
}

std::optional<DownloadUrls> composeDownloadUrls(const PlatformInfo& info) {
  if (info.os == kOsUnknown || info.arch == kArchUnknown || info.osMajor == 0) return std::nullopt;
  return DownloadUrls{composeUrl(info, "installer"), composeUrl(info, "installer.p7")};
}

std::optional<std::int32_t> archFromName(std::string_view name) {
  // The one name table, read backwards: archName stays the only place that spells them.
  for (std::int32_t arch : {kArchX86, kArchPpc}) {
    if (name == archName(arch)) return arch;
  }
  return std::nullopt;
}

}  // namespace install
