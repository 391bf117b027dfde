#include "tools/common/Verification.h"

#include <openssl/err.h>

#include <memory>

#include "download/Downloader.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Signals.h"
#include "ui/TerminalPresenter.h"

namespace tools {
namespace {

std::vector<signature::X509Ptr> copyChain(STACK_OF(X509) * chain) {
  std::vector<signature::X509Ptr> copies;
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    if (X509* copy = X509_dup(sk_X509_value(chain, i))) copies.emplace_back(copy);
  }
  return copies;
}

std::string describe(const platform::UrlError& error) {
  return error.failingUrlString + ": " + error.localizedDescription;
}

}  // namespace

VerificationReport verifySignature(const std::string& data, const std::string& signature,
                                   const std::optional<std::vector<std::string>>& crlFiles) {
  platform::NotificationCenter center;
  platform::NotificationQueue queue(center);
  ui::TerminalPresenter presenter;
  // The Downloader's temporary files are removed by cleanupTempFiles, on every road.
  auto downloader = std::make_shared<download::Downloader>(queue, presenter);
  downloader->setSilent(true);
  VerificationReport report;
  bool done = false;
  signature::SignatureVerification verifier(center, queue);
  verifier.setChainObserver([&report](STACK_OF(X509) * chain) {
    report.chain = copyChain(chain);
    report.crlUrls = signature::SignatureVerification::collectCrlUrls(chain);
  });
  if (crlFiles) {
    // Without a downloader the verifier fetches nothing and checks the lists it holds.
    verifier.setCrlPaths(std::make_shared<std::vector<std::string>>(*crlFiles));
  } else {
    verifier.setDownloader(downloader);
  }
  int tag = 0;
  center.addObserver(&tag, signature::kSignatureVerifyDone, [&](const platform::Notification& n) {
    if (n.object != &verifier) return;
    const auto it = n.userInfo.find(signature::kSignatureKeyIsValid);
    const bool* valid = it == n.userInfo.end() ? nullptr : std::any_cast<bool>(&it->second);
    report.accepted = valid != nullptr && *valid;
    done = true;
    platform::quitMainLoop();
  });
  {
    // Ctrl-C stops a fetch instead of letting a cancelled one pass as "nothing revoked".
    platform::InterruptWatch interrupt([&] {
      report.interrupted = true;
      downloader->stopDownLoad();
      platform::quitMainLoop();
    });
    verifier.verifyDataAtPath(data, signature);
    if (!done && !report.interrupted) platform::runMainLoop();
  }
  center.removeObserver(&tag);
  report.error = verifier.errorString();
  if (verifier.crlPaths()) report.crlFiles = *verifier.crlPaths();
  if (const auto& error = downloader->lastError()) report.fetchError = describe(*error);
  downloader->cleanupTempFiles();
  if (report.interrupted) report.accepted = false;
  return report;
}

signature::X509Ptr carriedSignerCertificate(const std::string& signature) {
  signature::BioPtr bio(BIO_new_file(signature.c_str(), "rb"));
  if (!bio) return nullptr;
  signature::Pkcs7Ptr p7(d2i_PKCS7_bio(bio.get(), nullptr));
  ERR_clear_error();
  if (!p7) return nullptr;
  return signature::SignatureVerification::getSignerCertificate(p7.get());
}

std::vector<std::string> possibleDistributionPoints(const std::string& signature) {
  // A chain is the embedded root and certificates that the signature carries.
  signature::X509StackPtr certificates = signature::SignatureVerification::getTrustedCerts();
  if (!certificates) return {};
  signature::BioPtr bio(BIO_new_file(signature.c_str(), "rb"));
  signature::Pkcs7Ptr p7(bio ? d2i_PKCS7_bio(bio.get(), nullptr) : nullptr);
  ERR_clear_error();
  if (p7 && PKCS7_type_is_signed(p7.get()) && p7->d.sign != nullptr) {
    STACK_OF(X509)* carried = p7->d.sign->cert;
    for (int i = 0; i < sk_X509_num(carried); ++i) {
      signature::X509Ptr copy(X509_dup(sk_X509_value(carried, i)));
      if (copy && sk_X509_push(certificates.get(), copy.get()) > 0) copy.release();
    }
  }
  return signature::SignatureVerification::collectCrlUrls(certificates.get());
}

}  // namespace tools
