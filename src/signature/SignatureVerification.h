#pragma once
// Decides whether a downloaded file may be run: its detached PKCS#7 signature, the signer's
// subject and usage, the chain to the one embedded root, and the chain's revocation lists.
// The verdict always arrives later as one queued "SignatureVerifyDone" notification.

#include <memory>
#include <string>
#include <vector>

#include "platform/NotificationCenter.h"

namespace download {
class Downloader;
}

namespace signature {

inline constexpr char kSignatureVerifyDone[] = "SignatureVerifyDone";
inline constexpr char kSignatureKeyIsValid[] = "SignatureKeyIsValid";  ///< bool

class SignatureVerification {
 public:
  /// center delivers "CrlDownloadDone" to this verifier; queue posts the verdict (object:
  /// this verifier).
  SignatureVerification(platform::NotificationCenter& center, platform::NotificationQueue& queue);
  ~SignatureVerification();
  SignatureVerification(const SignatureVerification&) = delete;
  SignatureVerification& operator=(const SignatureVerification&) = delete;

  /// The downloader that fetches the chain's revocation lists; call before verifyDataAtPath.
  void setDownloader(std::shared_ptr<download::Downloader> downloader);
  /// Starts the verification; returns without a verdict.
  void verifyDataAtPath(const std::string& dataPath, const std::string& signaturePath);
  /// The first error text of the verification; empty when no step failed.
  const std::string& errorString() const { return errorString_; }

 private:
  platform::NotificationCenter& center_;
  platform::NotificationQueue& queue_;
  std::string errorString_;
};

}  // namespace signature
