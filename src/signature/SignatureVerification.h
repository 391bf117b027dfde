#pragma once
// Decides whether a downloaded file may be run: its detached PKCS#7 signature, the signer's
// subject and usage, the chain to the one embedded root, and the chain's revocation lists.
// The verdict always arrives later as one queued "SignatureVerifyDone" notification.

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/runloop/NotificationCenter.h"

namespace download {
class Downloader;
}

namespace signature {

inline constexpr char kSignatureVerifyDone[] = "SignatureVerifyDone";
inline constexpr char kSignatureKeyIsValid[] = "SignatureKeyIsValid";  ///< bool
/// bool: the person cancelled the revocation-list download, so there is no verdict to act on.
inline constexpr char kSignatureKeyCancelled[] = "SignatureKeyCancelled";

/// Owners of the library's objects: each frees with the library's own function.
struct OpenSslFree {
  void operator()(PKCS7* p) const { PKCS7_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_CRL* p) const { X509_CRL_free(p); }
  void operator()(X509_STORE* p) const { X509_STORE_free(p); }
  void operator()(X509_STORE_CTX* p) const { X509_STORE_CTX_free(p); }
  void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
  void operator()(BIO* p) const { BIO_free_all(p); }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslFree>;
using X509Ptr = std::unique_ptr<X509, OpenSslFree>;
using CrlPtr = std::unique_ptr<X509_CRL, OpenSslFree>;
using StorePtr = std::unique_ptr<X509_STORE, OpenSslFree>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OpenSslFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OpenSslFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree>;

/// A list of local file paths shared with its producer (the Downloader's result list).
using PathList = std::shared_ptr<std::vector<std::string>>;

/// The verify callback of every store made here: records each accepted certificate in
/// the process-wide chain and each error in the process-wide last error; returns ok.
int verifyCallback(int ok, X509_STORE_CTX* ctx);

/// The certificates that the chain checks of the current verification accepted, in the
/// order the callback saw them (root first); emptied when a verification's first pass
/// begins. Never null after start-up unless a list could not be made.
STACK_OF(X509) * certChain();
/// The last chain error code of the current verification; 0 when it has met none.
int callbackErrorNumber();
/// The library's text for callbackErrorNumber(); none when the verification has met none.
const std::optional<std::string>& callbackError();

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
  /// Writes every byte that the first pass digests to fd as well, in the same read, over
  /// whatever fd held: once the pass accepts the signature, fd holds exactly the bytes it
  /// covers, whatever happens to the data file afterwards. A copy that misses a byte fails
  /// the pass. fd stays the caller's and must stay open until the first pass ends. When the
  /// data descriptor (setDataDescriptor) is open for writing, the data file's blocks are
  /// released (holes punched, a MiB at a time, the size kept) once they are in the copy:
  /// the data file is zeros, but for its last partial MiB, after a pass that copies.
  void setDataCopy(int fd) { copyDescriptor_ = fd; }
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

  /// Parses signaturePath as one DER PKCS#7 and checks its first signer's names and usage;
  /// null (with the message set) on any failure.
  Pkcs7Ptr readPkcs7();
  /// The message readPkcs7 sets for a signer certificate whose subject (CN, C, O, OU) or
  /// extended key usage the program does not accept; empty when both pass. Signing tools
  /// ask it before they sign.
  static std::string checkSignerCertificate(X509* cert);
  /// A copy of the first signer's certificate, looked up in the PKCS#7's own certificates.
  static X509Ptr getSignerCertificate(PKCS7* p7);
  /// CN, C, O and OU of the subject, in that order, each the expected text exactly.
  static bool verifySignerNames(X509* cert);
  /// The first entry of name with nid equals expected (UTF-8, case-sensitive, untrimmed).
  static bool verifySignerName(X509_NAME* name, const std::string& expected, int nid);
  /// The decoded values of cert's first extension with nid: for NID_ext_key_usage the
  /// usages' dotted object identifiers, for NID_crl_distribution_points the URI names of
  /// each distribution point's full name. None when there is no such extension, it does
  /// not decode, or nid is neither of the two.
  static std::optional<std::vector<std::string>> extractX509v3Data(X509* cert, int nid);
  /// One of the extension's decoded values is expected, as a whole.
  static bool containsX509v3Data(X509* cert, const std::string& expected, int nid);
  /// A store trusting the embedded root only, with verifyCallback, ignoring unknown critical
  /// extensions and demanding no purpose. Null only when no store can be made.
  StorePtr makeStoreForPkcs7();
  /// The embedded root in a new stack; an empty stack when it does not parse.
  static X509StackPtr getTrustedCerts();
  /// The embedded root, parsed; null when it does not parse.
  static X509Ptr getHalvexRoot();
  /// Verifies p7 over dataPath, streamed from the file, with the chain to the root. Starts
  /// a new verification: certChain() and the last chain error are reset first.
  bool verifyDetachedSignature(PKCS7* p7);

  // ---- Revocation pass --------------------------------------------------------------

  /// Starts the CRL download for the URLs of certChain(), or runs the revocation pass at
  /// once (nested in this call) when there is none. Returns true.
  bool startFetchingCrlsOnSignature();
  /// The distinct URI distribution points of every certificate of chain, first seen first.
  static std::vector<std::string> collectCrlUrls(const STACK_OF(X509) * chain);
  /// Observer of "CrlDownloadDone": reads success and files and hands them on.
  void notifyDownloaderDone(const platform::Notification& n);
  /// Keeps the CRL files (when any) and runs the revocation pass; a cancelled run ends the
  /// verification instead, with a cancelled verdict. Ignored unless this verifier is
  /// waiting for its CRLs, so a verdict is never posted twice.
  void handleDownloaderDone(bool success, PathList files, bool cancelled = false);
  /// False only when a loaded CRL lists a certificate of the captured chain as revoked.
  bool checkCertsAgainstCrls();
  /// The first CRL of the file, DER or else PEM; null when neither parses.
  static CrlPtr readCrlFromPath(const std::string& path);
  /// One verification of cert against store with untrusted as intermediates; true only
  /// when it fails because cert is revoked.
  static bool hasCertificateBeenRevoked(X509* cert, X509_STORE* store, STACK_OF(X509) * untrusted);
  /// Queues "SignatureVerifyDone" with "SignatureKeyIsValid" → valid and
  /// "SignatureKeyCancelled", object this verifier.
  void sendNotificationOfResult(bool valid);

 private:
  void runFirstPass(PKCS7* p7);
  void runRevocationPass();
  void postVerdict(bool valid);

  platform::NotificationCenter& center_;
  platform::NotificationQueue& queue_;
  std::string errorString_;
  bool startedFetchingCrls_ = false;
  bool verdictPosted_ = false;
  bool cancelled_ = false;
  std::optional<int> dataDescriptor_;
  std::optional<int> copyDescriptor_;
  std::string dataPath_;
  std::string signaturePath_;
  PathList crlPaths_;
  std::shared_ptr<download::Downloader> downloader_;
  /// Starts a CRL download run for the URLs; set together with the downloader.
  std::function<void(const std::vector<std::string>&)> startCrlDownload_;
  std::function<void(STACK_OF(X509)*)> chainObserver_;
};

}  // namespace signature
