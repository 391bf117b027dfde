#include "tools/common/Verification.h"

#include <openssl/err.h>

#include "signature/RevocationCheck.h"
#include "signature/SignatureCheck.h"
#include "signature/VerificationPasses.h"

namespace tools {

VerificationReport verifyWithLists(const std::string& data, const std::string& signaturePath,
                                   const std::vector<std::string>& crlFiles) {
  VerificationReport report;
  report.crlFiles = crlFiles;
  signature::FirstPass first = signature::runFirstPass({data, {}}, signaturePath);
  report.error = std::move(first.error);
  if (!first.valid) return report;
  report.chain = std::move(first.chain);
  report.crlUrls = signature::collectCrlUrls(signature::certChain());
  const signature::RevocationPass revocation =
      signature::runRevocationPass(signaturePath, signature::certChain(), crlFiles);
  report.accepted = revocation.valid;
  signature::keepFirstError(report.error, revocation.error);
  return report;
}

signature::X509Ptr carriedSignerCertificate(const std::string& signature) {
  signature::BioPtr bio(BIO_new_file(signature.c_str(), "rb"));
  if (!bio) return nullptr;
  signature::Pkcs7Ptr p7(d2i_PKCS7_bio(bio.get(), nullptr));
  ERR_clear_error();
  if (!p7) return nullptr;
  return signature::getSignerCertificate(p7.get());
}

std::vector<std::string> possibleDistributionPoints(const std::string& signature) {
  // A chain is the embedded root and certificates that the signature carries.
  signature::X509StackPtr certificates = signature::getTrustedCerts();
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
  return signature::collectCrlUrls(certificates.get());
}

}  // namespace tools
