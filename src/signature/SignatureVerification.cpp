#include "signature/SignatureVerification.h"

#include "download/Downloader.h"
#include "platform/DebugTrace.h"
#include "signature/VerificationPasses.h"

namespace signature {
namespace {

platform::Notification notificationOf(const SignatureVerdict& verdict) {
  platform::Notification n;
  n.name = kSignatureVerifyDone;
  n.object = verdict.verifier;
  n.userInfo[kSignatureKeyIsValid] = verdict.valid;
  n.userInfo[kSignatureKeyCancelled] = verdict.cancelled;
  return n;
}

}  // namespace

SignatureVerdict verdictOf(const platform::Notification& n) {
  return {n.object, platform::userInfoValue<bool>(n, kSignatureKeyIsValid),
          platform::userInfoValue<bool>(n, kSignatureKeyCancelled)};
}

SignatureVerification::SignatureVerification(platform::NotificationCenter& center,
                                             platform::NotificationQueue& queue)
    : center_(center), queue_(queue) {
  center_.addObserver(this, download::kCrlDownloadDone,
                      [this](const platform::Notification& n) { notifyDownloaderDone(n); });
}

SignatureVerification::~SignatureVerification() {
  center_.removeObserver(this);
}

void SignatureVerification::setErrorString(const std::string& message) {
  keepFirstError(errorString_, message);
}

// ---- First pass -----------------------------------------------------------------------

Pkcs7Ptr SignatureVerification::readPkcs7() {
  return signature::readPkcs7(signaturePath_, errorString_);
}

StorePtr SignatureVerification::makeStoreForPkcs7() {
  return signature::makeStoreForPkcs7(errorString_);
}

bool SignatureVerification::verifyDetachedSignature(PKCS7* p7) {
  return signature::verifyDetachedSignature(p7, signedData(), errorString_);
}

SignedData SignatureVerification::signedData() const {
  return {dataPath_, dataDescriptor_};
}

// ---- Driver ---------------------------------------------------------------------------

void SignatureVerification::verifyDataAtPath(const std::string& dataPath,
                                             const std::string& signaturePath) {
  // Copies first: the revocation pass calls back with this verifier's own fields.
  std::string data = dataPath;
  std::string signature = signaturePath;
  setDataPath(std::move(data));
  setSignaturePath(std::move(signature));
  if (!startedFetchingCrls_) {
    runFirstPass();
  } else {
    runRevocationPass();
  }
}

void SignatureVerification::runFirstPass() {
  const FirstPass pass = signature::runFirstPass(signedData(), signaturePath_);
  setErrorString(pass.error);
  if (!pass.valid) {
    postVerdict(false);
    return;
  }
  startedFetchingCrls_ = true;
  if (chainObserver_) chainObserver_(certChain());
  startFetchingCrlsOnSignature();
}

void SignatureVerification::runRevocationPass() {
  const RevocationPass pass = signature::runRevocationPass(
      signaturePath_, certChain(), crlPaths_ ? *crlPaths_ : std::vector<std::string>());
  setErrorString(pass.error);
  postVerdict(pass.valid);
}

void SignatureVerification::postVerdict(bool valid) {
  verdictPosted_ = true;
  sendNotificationOfResult(valid);
}

void SignatureVerification::sendNotificationOfResult(bool valid) {
  queue_.enqueue(notificationOf({this, valid, cancelled_}), platform::PostingStyle::WhenIdle);
}

// ---- Revocation pass ------------------------------------------------------------------

bool SignatureVerification::startFetchingCrlsOnSignature() {
  std::vector<std::string> urls = collectCrlUrls(certChain());
  setErrorString("");
  if (!urls.empty() && startCrlDownload_) {
    startCrlDownload_(urls);
    return true;
  }
  // Without a downloader the lists cannot be fetched; like a failed download this lets
  // the check pass instead of leaving the verification without a verdict.
  if (!urls.empty()) DebugTrace("Warning: Unable to fetch certificate revocation files");
  verifyDataAtPath(dataPath_, signaturePath_);
  return true;
}

void SignatureVerification::notifyDownloaderDone(const platform::Notification& n) {
  download::DownloadDone done = download::downloadDoneOf(n);
  handleDownloaderDone(done.success, std::move(done.files), done.cancelled);
}

void SignatureVerification::handleDownloaderDone(bool success, PathList files, bool cancelled) {
  // The notification comes from any sender: one that arrives before this verifier asked
  // for CRLs, or after its verdict, is not an answer to it.
  if (!startedFetchingCrls_ || verdictPosted_) return;
  // A person who cancels asked for the install to stop, which is not a failure to fetch:
  // the check must not pass open into running the installer.
  if (cancelled) {
    cancelled_ = true;
    postVerdict(false);
    return;
  }
  if (success && files && !files->empty()) {
    setCrlPaths(std::move(files));
  } else {
    DebugTrace("Warning: Unable to fetch certificate revocation files");
  }
  verifyDataAtPath(dataPath_, signaturePath_);
}

bool SignatureVerification::checkCertsAgainstCrls() {
  if (!crlPaths_) return true;
  return signature::checkCertsAgainstCrls(certChain(), *crlPaths_, errorString_);
}

}  // namespace signature
