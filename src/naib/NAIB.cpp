#include "naib/NAIB.h"

#include <cstdio>
#include <cstring>

#include "libinstall/InstallLogMsgs.h"

namespace naib {
namespace {

constexpr const char* kVersion = "17.0.0.124";
constexpr const char* kUsage =
    "Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut -programMenu "
    "-allowDownload }";

// Whole-string, byte-for-byte comparison: "-Silent" or "-silent " is no option.
bool is(const char* arg, const char* option) {
  return std::strcmp(arg, option) == 0;
}

void printLine(const char* text) {
  std::fputs(text, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

bool ParamCheckerCore::CheckParams(bool& allowDownload, bool& silent, NAIBErrorCode& error) {
  allowDownload = false;
  silent = false;
  error = NAIB_BAD_PARAMS;
  const std::uint32_t n = GetOrigArgCount();

  if (n == 0) {  // a plain interactive launch
    allowDownload = true;
    error = NAIB_OK;
    return true;
  }
  if (n == 1) {
    const char* a = GetOrigUtf8Arg(0);
    if (is(a, "-version")) {
      printLine(kVersion);
      error = NAIB_OK;
      return false;
    }
    if (is(a, "-silent")) {  // a lone -silent never allows a download
      PutValidatedUtf8Arg("-silent", false);
      error = NAIB_OK;
      return true;
    }
    printLine(kUsage);
    return false;
  }

  bool silentNotFirst = false;
  for (std::uint32_t i = 0; i < n; ++i) {
    const char* a = GetOrigUtf8Arg(i);
    if (is(a, "-silent")) {
      PutValidatedUtf8Arg("-silent", false);
      silent = true;
      silentNotFirst = i != 0;
    } else if (is(a, "-eulaAccepted")) {
      PutValidatedUtf8Arg("-eulaAccepted", false);
    } else if (is(a, "-location")) {
      if (i + 1 == n) {
        printLine(kUsage);
        return false;
      }
      // The value is taken as it stands, even when it looks like an option.
      PutValidatedUtf8Arg("-location", false);
      PutValidatedUtf8Arg(GetOrigUtf8Arg(++i), true);
    } else if (is(a, "-desktopShortcut")) {
      PutValidatedUtf8Arg("-desktopShortcut", false);
    } else if (is(a, "-programMenu")) {
      PutValidatedUtf8Arg("-programMenu", false);
    } else if (is(a, "-allowDownload")) {
      allowDownload = true;  // never forwarded to an installer
    } else {
      printLine(kUsage);
      return false;
    }
  }
  // A -silent anywhere but first (which includes any repeated -silent) is rejected.
  if (silentNotFirst) {
    printLine(kUsage);
    return false;
  }
  error = NAIB_OK;
  return true;
}

void ParamCheckerCore::PrintNeedsAllowDownloadFlag() {
  printLine(install::sAllowDownloadFlagMsg);
}

}  // namespace naib
