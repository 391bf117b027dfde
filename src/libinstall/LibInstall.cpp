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

}  // namespace install
