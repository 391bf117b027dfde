#include "libinstall/InstallLogMsgs.h"

#include <string>

#include "libinstall/LibInstall.h"
#include "libinstall/LogValue.h"

namespace install {
namespace {

// A text that is missing (a bundle without a version, say) is logged as "(null)": the
// formatter is never handed a null pointer for %s. Every other text comes from outside
// (arguments, executable names, property lists) and is escaped and bounded, so that it can
// neither split its event into several records nor push the record past the log's limit.
std::string text(const char* s) {
  return s != nullptr ? loggableValue(s) : std::string("(null)");
}

}  // namespace

const char* const sAllowDownloadFlagMsg =
    "Unable to download runtime installer without -allowDownload";

void logApplicationBegin(const char* name, const char* version, const char* os, const char* arch) {
  installLog(kSeverityNotice, "%s begin with version %s on %s %s", text(name).c_str(),
             text(version).c_str(), text(os).c_str(), text(arch).c_str());
}
void logApplicationEnd(bool success, const char* name, int exitCode) {
  installLog(success ? kSeverityNotice : kSeverityError, "%s end with exit code %d",
             text(name).c_str(), exitCode);
}
void logRuntimeInstalled(int major, int minor, int bugfix, int build, const char* location) {
  installLog(kSeverityNotice, "Installed runtime (%d.%d.%d.%d) located at %s", major, minor, bugfix,
             build, text(location).c_str());
}
void logRuntimeNotInstalled() {
  installLog(kSeverityNotice, "No installed runtime detected");
}
void logImmediateUpdateDisabled() {
  installLog(kSeverityError,
             "Cannot complete installation because runtime updates are disabled on this machine");
}
void logSubprocessBegin(const char* commandLine) {
  installLog(kSeverityNotice, "Launching subprocess with commandline %s",
             text(commandLine).c_str());
}
void logSubprocessSuccess(const char* name) {
  installLog(kSeverityNotice, "Subprocess %s succeeded", text(name).c_str());
}
void logSubprocessFailure(const char* name, int status) {
  installLog(kSeverityError, "Subprocess %s failed (%d)", text(name).c_str(), status);
}
void logDownloadBegin(const char* kind, const char* url) {
  installLog(kSeverityNotice, "Begin %s download from %s", text(kind).c_str(), text(url).c_str());
}
void logDownloadDest(const char* path) {
  installLog(kSeverityNotice, "Download destination is %s", text(path).c_str());
}
void logDownloadSuccess() {
  installLog(kSeverityNotice, "Download success");
}
void logDownloadFailure(const char* reason) {
  installLog(kSeverityError, "Download failure: %s", text(reason).c_str());
}
void logDownloadCancel() {
  installLog(kSeverityNotice, "Download cancelled");
}
void logDownloadRetry(long long bytesSoFar, int retry, int maxRetries) {
  installLog(kSeverityNotice, "Download interrupted after %lld bytes, retrying (%d of %d)",
             bytesSoFar, retry, maxRetries);
}
void logCarriedFileUsed(const char* what, const char* path) {
  installLog(kSeverityNotice, "Using %s carried in the bundle at %s", text(what).c_str(),
             text(path).c_str());
}
void logProxyNotUsed(const char* reason) {
  installLog(kSeverityNotice, "Proxy settings not used: %s", text(reason).c_str());
}
void logWaitingForInstall() {
  installLog(kSeverityNotice, "Waiting for another install to finish");
}
void logSigValid(const char* kind) {
  installLog(kSeverityNotice, "%s signature verified", text(kind).c_str());
}
void logSigInvalid(const char* kind) {
  installLog(kSeverityError, "%s signature validation failed", text(kind).c_str());
}
void logCouldNotLocateAppDir(const char* path) {
  installLog(kSeverityError, "Could not locate native install directory (\"%s\")",
             text(path).c_str());
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
