// Calls install-log message functions by name, so that the end-to-end suite can watch
// what the library hands to the real system log inside the sandbox.
//
//   naib-logprobe [--stdout] <function> [arguments...] [";" <function> [arguments...]]...
//
// "--stdout" sets install::_logToStdout first. Numbers are decimal; the flag of
// logApplicationEnd is "true" or "false". "installLog <severity> <text>" logs the text
// through "%s" and prints "installLog returned <n>" on standard output. Exit status: 0, or
// 2 for a call the probe does not know or whose arguments do not parse.

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "libinstall/InstallLogMsgs.h"
#include "libinstall/LibInstall.h"

namespace {

using Args = std::vector<const char*>;

std::optional<int> number(const char* s) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(s, &end, 10);
  if (errno != 0 || end == s || *end != '\0' || v < INT_MIN || v > INT_MAX) return std::nullopt;
  return static_cast<int>(v);
}

struct Call {
  std::size_t arity;
  std::function<bool(const Args&)> run;  // false when an argument does not parse
};

template <typename F>
Call texts(std::size_t arity, F f) {
  return {arity, [f](const Args& a) { return f(a), true; }};
}

const std::map<std::string, Call>& calls() {
  using namespace install;
  static const std::map<std::string, Call> table = {
      {"logApplicationBegin",
       texts(4, [](const Args& a) { logApplicationBegin(a[0], a[1], a[2], a[3]); })},
      {"logApplicationEnd",
       {3,
        [](const Args& a) {
          const std::optional<int> code = number(a[2]);
          const bool yes = std::strcmp(a[0], "true") == 0;
          if (!code || (!yes && std::strcmp(a[0], "false") != 0)) return false;
          logApplicationEnd(yes, a[1], *code);
          return true;
        }}},
      {"logRuntimeInstalled",
       {5,
        [](const Args& a) {
          int v[4];
          for (int i = 0; i < 4; ++i) {
            const std::optional<int> n = number(a[i]);
            if (!n) return false;
            v[i] = *n;
          }
          logRuntimeInstalled(v[0], v[1], v[2], v[3], a[4]);
          return true;
        }}},
      {"logRuntimeNotInstalled", texts(0, [](const Args&) { logRuntimeNotInstalled(); })},
      {"logImmediateUpdateDisabled", texts(0, [](const Args&) { logImmediateUpdateDisabled(); })},
      {"logSubprocessBegin", texts(1, [](const Args& a) { logSubprocessBegin(a[0]); })},
      {"logSubprocessSuccess", texts(1, [](const Args& a) { logSubprocessSuccess(a[0]); })},
      {"logSubprocessFailure",
       {2,
        [](const Args& a) {
          const std::optional<int> status = number(a[1]);
          if (!status) return false;
          logSubprocessFailure(a[0], *status);
          return true;
        }}},
      {"logDownloadBegin", texts(2, [](const Args& a) { logDownloadBegin(a[0], a[1]); })},
      {"logDownloadDest", texts(1, [](const Args& a) { logDownloadDest(a[0]); })},
      {"logDownloadSuccess", texts(0, [](const Args&) { logDownloadSuccess(); })},
      {"logDownloadFailure", texts(1, [](const Args& a) { logDownloadFailure(a[0]); })},
      {"logDownloadCancel", texts(0, [](const Args&) { logDownloadCancel(); })},
      {"logSigValid", texts(1, [](const Args& a) { logSigValid(a[0]); })},
      {"logSigInvalid", texts(1, [](const Args& a) { logSigInvalid(a[0]); })},
      {"logCouldNotLocateAppDir", texts(1, [](const Args& a) { logCouldNotLocateAppDir(a[0]); })},
      {"logMissingAllowDownloadFlag", texts(0, [](const Args&) { logMissingAllowDownloadFlag(); })},
      {"logCertChainBegin", texts(0, [](const Args&) { logCertChainBegin(); })},
      {"logCertRevocationFound", texts(0, [](const Args&) { logCertRevocationFound(); })},
      {"logCertChainSuccess", texts(0, [](const Args&) { logCertChainSuccess(); })},
      {"logCertChainFailure", texts(0, [](const Args&) { logCertChainFailure(); })},
      {"installLog",
       {2,
        [](const Args& a) {
          const std::optional<int> severity = number(a[0]);
          if (!severity) return false;
          const int result = installLog(static_cast<severity_t>(*severity), "%s", a[1]);
          std::printf("installLog returned %d\n", result);
          std::fflush(stdout);
          return true;
        }}},
  };
  return table;
}

// Runs one call; false (after a line on standard error) when it is unknown or malformed.
bool runCall(const Args& words) {
  const auto found = calls().find(words.front());
  if (found == calls().end() || words.size() - 1 != found->second.arity ||
      !found->second.run(Args(words.begin() + 1, words.end()))) {
    std::fprintf(stderr, "naib-logprobe: bad call %s\n", words.front());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int i = 1;
  if (i < argc && std::strcmp(argv[i], "--stdout") == 0) {
    install::_logToStdout = true;
    ++i;
  }
  Args words;
  for (; i <= argc; ++i) {
    if (i == argc || std::strcmp(argv[i], ";") == 0) {
      if (!words.empty() && !runCall(words)) return 2;
      words.clear();
    } else {
      words.push_back(argv[i]);
    }
  }
  return 0;
}
