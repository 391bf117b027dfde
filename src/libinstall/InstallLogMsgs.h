#pragma once
// One function per install event: each fixes its text and severity, so callers never
// pass a format. String arguments are NUL-terminated UTF-8 and are never used as formats;
// a null one is written as "(null)", any other as loggableValue (LogValue.h) gives it:
// controls, bidirectional controls, '#' and stray bytes escaped, and cut with a marker past
// 4 KiB.

namespace install {

extern const char* const sAllowDownloadFlagMsg;

void logApplicationBegin(const char* name, const char* version, const char* os, const char* arch);
void logApplicationEnd(bool success, const char* name, int exitCode);
void logRuntimeInstalled(int major, int minor, int bugfix, int build, const char* location);
void logRuntimeNotInstalled();
void logImmediateUpdateDisabled();
void logSubprocessBegin(const char* commandLine);
void logSubprocessSuccess(const char* name);
void logSubprocessFailure(const char* name, int status);
void logDownloadBegin(const char* kind, const char* url);
void logDownloadDest(const char* path);
void logDownloadSuccess();
void logDownloadFailure(const char* reason);
void logDownloadCancel();
void logDownloadRetry(long long bytesSoFar, int retry, int maxRetries);
/// what: "runtime installer", "signature" or "revocation list"; path: the file in the bundle.
void logCarriedFileUsed(const char* what, const char* path);
void logProxyNotUsed(const char* reason);
void logWaitingForInstall();
void logSigValid(const char* kind);
void logSigInvalid(const char* kind);
void logCouldNotLocateAppDir(const char* path);
void logMissingAllowDownloadFlag();
void logCertChainBegin();
void logCertRevocationFound();
void logCertChainSuccess();
void logCertChainFailure();

}  // namespace install
