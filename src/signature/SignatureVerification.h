#pragma once
// Decides whether a downloaded file may be run: its detached PKCS#7 signature, the signer's
// subject and usage, the chain to the one embedded root, and the chain's revocation lists.
// The verdict always arrives later as one queued "SignatureVerifyDone" notification. The
// checks themselves are synchronous functions (SignatureCheck.h, RevocationCheck.h,
// VerificationPasses.h) that the class runs under its own names.

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/runloop/NotificationCenter.h"
#include "signature/OpenSslOwners.h"
#include "signature/RevocationCheck.h"
#include "signature/SignatureCheck.h"

namespace download {
class Downloader;
}

namespace signature {

inline constexpr char kSignatureVerifyDone[] = "SignatureVerifyDone";
inline constexpr char kSignatureKeyIsValid[] = "SignatureKeyIsValid";  ///< bool
/// bool: the person cancelled the revocation-list download, so there is no verdict to act on.
inline constexpr char kSignatureKeyCancelled[] = "SignatureKeyCancelled";

/// What "SignatureVerifyDone" carries, as sendNotificationOfResult posts it.
struct SignatureVerdict {
  /// The notification's object: the verifier that decided; for identity only.
  const void* verifier = nullptr;
  bool valid = false;      ///< "SignatureKeyIsValid"
  bool cancelled = false;  ///< "SignatureKeyCancelled"
};

/// The payload of n, a "SignatureVerifyDone" notification from any sender: a key that is
/// missing or holds another type reads as false.
SignatureVerdict verdictOf(const platform::Notification& n);

/// A list of local file paths shared with its producer (the Downloader's result list).
using PathList = std::shared_ptr<std::vector<std::string>>;

class SignatureVerification {
 public:
  /// center delivers "CrlDownloadDone" to this verifier from any sender until it is
  /// destroyed; queue posts the verdict (object: this verifier).
  SignatureVerification(platform::NotificationCenter& center, platform::NotificationQueue& queue);
  ~SignatureVerification();
  SignatureVerification(const SignatureVerification&) = delete;
  SignatureVerification& operator=(const SignatureVerification&) = delete;

  /// The downloader that fetches the chain's revocation lists; call before verifyDataAtPath.
  void setDownloader(std::shared_ptr<download::Downloader> downloader);
  const std::shared_ptr<download::Downloader>& downloader() const { return downloader_; }

  /// The driver. Runs the first pass (signature over the data, chain to the root), or the
  /// revocation pass once the first has succeeded. Returns without a verdict: the verdict
  /// is queued as "SignatureVerifyDone" and delivered from the run loop.
  void verifyDataAtPath(const std::string& dataPath, const std::string& signaturePath);

  /// The first error text of the verification; empty when no step failed.
  const std::string& errorString() const { return errorString_; }
  /// Keep-first: replaces the text only while it is empty.
  void setErrorString(const std::string& message);

  /// Reads the data through fd (from its start) instead of opening dataPath, so the bytes
  /// checked are those of a file the caller holds open; fd stays the caller's and must stay
  /// open until the verdict. A negative fd is a file that could not be opened.
  void setDataDescriptor(int fd) { dataDescriptor_ = fd; }
  void setDataPath(std::string path) { dataPath_ = std::move(path); }
  void setSignaturePath(std::string path) { signaturePath_ = std::move(path); }
  /// Holds the given list itself, not a copy.
  void setCrlPaths(PathList paths) { crlPaths_ = std::move(paths); }
  const std::string& dataPath() const { return dataPath_; }
  const std::string& signaturePath() const { return signaturePath_; }
  const PathList& crlPaths() const { return crlPaths_; }
  /// False until the first pass succeeds; never cleared.
  bool startedFetchingCrls() const { return startedFetchingCrls_; }
  /// Called once the first pass has accepted the signature, before the revocation pass
  /// starts, with the accepted chain (root first, signer last; owned by the verifier's
  /// process-wide state, valid during the call). For tools that show or use the chain.
  void setChainObserver(std::function<void(STACK_OF(X509) *)> observer) {
    chainObserver_ = std::move(observer);
  }

  // ---- First pass -------------------------------------------------------------------

  /// readPkcs7 (SignatureCheck.h) of signaturePath; the message goes to errorString.
  Pkcs7Ptr readPkcs7();
  /// makeStoreForPkcs7 (SignatureCheck.h); the message goes to errorString.
  StorePtr makeStoreForPkcs7();
  /// verifyDetachedSignature (SignatureCheck.h) over dataPath, or the data descriptor; the
  /// message goes to errorString.
  bool verifyDetachedSignature(PKCS7* p7);
  // The first pass's checks that need no verifier, under the class's names.
  static constexpr auto* checkSignerCertificate = &signature::checkSignerCertificate;
  static constexpr auto* getSignerCertificate = &signature::getSignerCertificate;
  static constexpr auto* verifySignerNames = &signature::verifySignerNames;
  static constexpr auto* verifySignerName = &signature::verifySignerName;
  static constexpr auto* extractX509v3Data = &signature::extractX509v3Data;
  static constexpr auto* containsX509v3Data = &signature::containsX509v3Data;
  static constexpr auto* getTrustedCerts = &signature::getTrustedCerts;
  static constexpr auto* getHalvexRoot = &signature::getHalvexRoot;

  // ---- Revocation pass --------------------------------------------------------------

  /// Starts the CRL download for the URLs of certChain(), or runs the revocation pass at
  /// once (nested in this call) when there is none. Returns true.
  bool startFetchingCrlsOnSignature();
  /// Observer of "CrlDownloadDone": reads success and files and hands them on.
  void notifyDownloaderDone(const platform::Notification& n);
  /// Keeps the CRL files (when any) and runs the revocation pass; a cancelled run ends the
  /// verification instead, with a cancelled verdict. Ignored unless this verifier is
  /// waiting for its CRLs, so a verdict is never posted twice.
  void handleDownloaderDone(bool success, PathList files, bool cancelled = false);
  /// checkCertsAgainstCrls (RevocationCheck.h) of certChain() with crlPaths; true at once
  /// without lists. The message goes to errorString.
  bool checkCertsAgainstCrls();
  /// Queues "SignatureVerifyDone" with "SignatureKeyIsValid" → valid and
  /// "SignatureKeyCancelled", object this verifier.
  void sendNotificationOfResult(bool valid);
  // The revocation checks that need no verifier, under the class's names.
  static constexpr auto* collectCrlUrls = &signature::collectCrlUrls;
  static constexpr auto* readCrlFromPath = &signature::readCrlFromPath;
  static constexpr auto* hasCertificateBeenRevoked = &signature::hasCertificateBeenRevoked;

 private:
  SignedData signedData() const;
  void runFirstPass();
  void runRevocationPass();
  void postVerdict(bool valid);

  platform::NotificationCenter& center_;
  platform::NotificationQueue& queue_;
  std::string errorString_;
  bool startedFetchingCrls_ = false;
  bool verdictPosted_ = false;
  bool cancelled_ = false;
  std::optional<int> dataDescriptor_;
  std::string dataPath_;
  std::string signaturePath_;
  PathList crlPaths_;
  std::shared_ptr<download::Downloader> downloader_;
  /// Starts a CRL download run for the URLs; set together with the downloader.
  std::function<void(const std::vector<std::string>&)> startCrlDownload_;
  std::function<void(STACK_OF(X509)*)> chainObserver_;
};

}  // namespace signature
