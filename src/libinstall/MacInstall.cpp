#include "libinstall/MacInstall.h"

#include <syslog.h>

namespace install {

int platform_installLog(severity_t severity, const char* format, va_list args) {
  int priority;
  switch (severity) {
    case kSeverityError: priority = LOG_ERR; break;
    case kSeverityWarning: priority = LOG_WARNING; break;
    case kSeverityNotice: priority = LOG_NOTICE; break;
    case kSeverityDebug: priority = LOG_DEBUG; break;
    default: return kInstallFailure;
  }
  // The process defaults stand: no openlog, so the system's identity and facility apply.
  vsyslog(priority, format, args);
  return kInstallOk;
}

}  // namespace install
