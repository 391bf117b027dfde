#include "libinstall/InstallLogMsgs.h"

#include "libinstall/LibInstall.h"

namespace install {
namespace {

// A text that is missing (a bundle without a version, say) is logged as "(null)": the
// formatter is never handed a null pointer for %s.
const char* text(const char* s) {
  return s != nullptr ? s : "(null)";
}

}  // namespace

const char* const sAllowDownloadFlagMsg =
    "Unable to download runtime installer without -allowDownload";

void logApplicationBegin(const char* name, const char* version, const char* os, const char* arch) {
  installLog(kSeverityNotice, "%s begin with version %s on %s %s", text(name), text(version),
             text(os), text(arch));
}
void logApplicationEnd(bool success, const char* name, int exitCode) {
  installLog(success ? kSeverityNotice : kSeverityError, "%s end with exit code %d", text(name),
             exitCode);
}
void logRuntimeInstalled(int major, int minor, int bugfix, int build, const char* location) {
  installLog(kSeverityNotice, "Installed runtime (%d.%d.%d.%d) located at %s", major, minor, bugfix,
             build, text(location));
}
void logRuntimeNotInstalled() {
  installLog(kSeverityNotice, "No installed runtime detected");
}
void logImmediateUpdateDisabled() {
  installLog(kSeverityError,
             "Cannot complete installation because runtime updates are disabled on this machine");
}
void logSubprocessBegin(const char* commandLine) {
  installLog(kSeverityNotice, "Launching subprocess with commandline %s", text(commandLine));
}
void logSubprocessSuccess(const char* name) {
  installLog(kSeverityNotice, "Subprocess %s succeeded", text(name));
}
void logSubprocessFailure(const char* name, int status) {
  installLog(kSeverityError, "Subprocess %s failed (%d)", text(name), status);
}
void logDownloadBegin(const char* kind, const char* url) {
  installLog(kSeverityNotice, "Begin %s download from %s", text(kind), text(url));
}
void logDownloadDest(const char* path) {
  installLog(kSeverityNotice, "Download destination is %s", text(path));
}
void logDownloadSuccess() {
  installLog(kSeverityNotice, "Download success");
}
void logDownloadFailure(const char* reason) {
  installLog(kSeverityError, "Download failure: %s", text(reason));
}
void logDownloadCancel() {
  installLog(kSeverityNotice, "Download cancelled");
}
void logDownloadRetry(long long bytesSoFar, int retry, int maxRetries) {
  installLog(kSeverityNotice, "Download interrupted after %lld bytes, retrying (%d of %d)",
             bytesSoFar, retry, maxRetries);
}
void logSigValid(const char* kind) {
  installLog(kSeverityNotice, "%s signature verified", text(kind));
}
void logSigInvalid(const char* kind) {
  installLog(kSeverityError, "%s signature validation failed", text(kind));
}
void logCouldNotLocateAppDir(const char* path) {
  installLog(kSeverityError, "Could not locate native install directory (\"%s\")", text(path));
}
void logMissingAllowDownloadFlag() {
  // The sentence has no conversion of its own; passing it through "%s" keeps it from ever
  // being read as a format.
  installLog(kSeverityError, "%s", sAllowDownloadFlagMsg);
}
void logCertChainBegin() {
  installLog(kSeverityNotice, "Begin cert chain validation");
}
void logCertRevocationFound() {
  installLog(kSeverityNotice, "Cert revocation found");
}
void logCertChainSuccess() {
  installLog(kSeverityNotice, "Cert chain validation succeeded");
}
void logCertChainFailure() {
  installLog(kSeverityError, "Cert chain validation failed");
}

}  // namespace install
