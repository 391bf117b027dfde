// Feeds arbitrary command lines to the checker. The input is the argument list, each
// argument ended by a NUL byte (a last argument without one is taken as it stands); the
// program path comes first, as the process gives it. Besides the sanitizers' findings,
// the checker's promises about its results are checked.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "naib/ParamChecker.h"

namespace {

std::vector<std::string> argumentsOf(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> argv{"/Applications/Install Sample.app/Contents/MacOS/Install Sample"};
  std::string current;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\0') {
      argv.push_back(current);
      current.clear();
    } else {
      current.push_back(static_cast<char>(data[i]));
    }
  }
  if (!current.empty()) argv.push_back(current);
  return argv;
}

void require(bool promise) {
  if (!promise) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The usage line on every rejection would drown the fuzzer's own report.
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  naib::ParamChecker checker(argumentsOf(data, size));
  bool allowDownload = false;
  bool silent = false;
  naib::NAIBErrorCode error = naib::NAIB_BAD_PARAMS;
  const bool goesOn = checker.CheckParams(allowDownload, silent, error);

  const std::uint32_t n = checker.GetOrigArgCount();
  for (std::uint32_t i = 0; i < n; ++i) require(checker.GetOrigUtf8Arg(i) != nullptr);
  require(checker.GetOrigUtf8Arg(n) == nullptr);

  if (!goesOn) {
    // Stopping with success is "-version" alone; anything else is a rejection.
    require(
        error == naib::NAIB_BAD_PARAMS ||
        (error == naib::NAIB_OK && n == 1 && std::string(checker.GetOrigUtf8Arg(0)) == "-version"));
    return 0;
  }
  require(error == naib::NAIB_OK);
  // A silent run names "-silent" first, exactly once as an option.
  if (silent) require(std::string(checker.GetOrigUtf8Arg(0)) == "-silent");
  if (n == 0) require(allowDownload && checker.ParamArray() == nullptr);
  if (const std::vector<std::string>* params = checker.ParamArray()) {
    // Only arguments are forwarded, never more than were given, and "-allowDownload" only
    // as the value of "-location".
    require(params->size() <= n);
    for (std::size_t i = 0; i < params->size(); ++i)
      if ((*params)[i] == "-allowDownload") require(i > 0 && (*params)[i - 1] == "-location");
  }
  return 0;
}
