#include "libinstall/InstallLogMsgs.h"

#include "libinstall/LibInstall.h"

namespace install {

const char* const sAllowDownloadFlagMsg = "Unable to download runtime installer without -allowDownload";

void logApplicationBegin(const char* name, const char* version, const char* os, const char* arch) {
  installLog(kSeverityNotice, "%s begin with version %s on %s %s", name, version, os, arch);
}
void logApplicationEnd(bool success, const char* name, int exitCode) {
  installLog(success ? kSeverityNotice : kSeverityError, "%s end with exit code %d", name, exitCode);
}
void logRuntimeInstalled(int major, int minor, int bugfix, int build, const char* location) {
  installLog(kSeverityNotice, "Installed runtime (%d.%d.%d.%d) located at %s", major, minor, bugfix,
             build, location);
}
void logRuntimeNotInstalled() { installLog(kSeverityNotice, "No installed runtime detected"); }
void logImmediateUpdateDisabled() {
  installLog(kSeverityError,
             "Cannot complete installation because runtime updates are disabled on this machine");
}
void logSubprocessBegin(const char* commandLine) {
  installLog(kSeverityNotice, "Launching subprocess with commandline %s", commandLine);
}
void logSubprocessSuccess(const char* name) { installLog(kSeverityNotice, "Subprocess %s succeeded", name); }
void logSubprocessFailure(const char* name, int status) {
  installLog(kSeverityError, "Subprocess %s failed (%d)", name, status);
}
void logDownloadBegin(const char* kind, const char* url) {
  installLog(kSeverityNotice, "Begin %s download from %s", kind, url);
}
void logDownloadDest(const char* path) { installLog(kSeverityNotice, "Download destination is %s", path); }
void logDownloadSuccess() { installLog(kSeverityNotice, "Download success"); }
void logDownloadFailure(const char* reason) { installLog(kSeverityError, "Download failure: %s", reason); }
void logDownloadCancel() { installLog(kSeverityNotice, "Download cancelled"); }
void logSigValid(const char* kind) { installLog(kSeverityNotice, "%s signature verified", kind); }
void logSigInvalid(const char* kind) { installLog(kSeverityError, "%s signature validation failed", kind); }
void logCouldNotLocateAppDir(const char* path) {
  installLog(kSeverityError, "Could not locate native install directory (\"%s\")", path);
}
void logMissingAllowDownloadFlag() {
  // The message has no conversion, so it is its own format, as the checker prints it.
  installLog(kSeverityError, "%s", sAllowDownloadFlagMsg);
}
void logCertChainBegin() { installLog(kSeverityNotice, "Begin cert chain validation"); }
void logCertRevocationFound() { installLog(kSeverityNotice, "Cert revocation found"); }
void logCertChainSuccess() { installLog(kSeverityNotice, "Cert chain validation succeeded"); }
void logCertChainFailure() { installLog(kSeverityError, "Cert chain validation failed"); }

}  // namespace install
