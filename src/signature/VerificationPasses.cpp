#include "signature/VerificationPasses.h"

#include <openssl/err.h>

#include "libinstall/InstallLogMsgs.h"
#include "signature/RevocationCheck.h"

namespace signature {
namespace {

constexpr char kSigKind[] = "Detached";

// Both passes begin here: the signature file is read and its signer checked each time.
Pkcs7Ptr readForPass(const std::string& signaturePath, std::string& error) {
  Pkcs7Ptr p7 = readPkcs7(signaturePath, error);
  ERR_clear_error();
  if (!p7) {
    install::logSigInvalid(kSigKind);
    keepFirstError(error, "Failed to read pkcs7 signature");
  }
  return p7;
}

}  // namespace

std::vector<X509Ptr> chainReferences(STACK_OF(X509) * chain) {
  std::vector<X509Ptr> certs;
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    X509* cert = sk_X509_value(chain, i);
    if (X509_up_ref(cert) == 1) certs.emplace_back(cert);
  }
  return certs;
}

FirstPass runFirstPass(const SignedData& data, const std::string& signaturePath) {
  FirstPass pass;
  Pkcs7Ptr p7 = readForPass(signaturePath, pass.error);
  if (!p7) return pass;
  if (!verifyDetachedSignature(p7.get(), data, pass.error)) {
    install::logSigInvalid(kSigKind);
    keepFirstError(pass.error, "The signature was rejected");
    return pass;
  }
  pass.valid = true;
  pass.chain = chainReferences(certChain());
  return pass;
}

RevocationPass runRevocationPass(const std::string& signaturePath, STACK_OF(X509) * chain,
                                 const std::vector<std::string>& crlFiles) {
  RevocationPass pass;
  if (!readForPass(signaturePath, pass.error)) return pass;
  if (checkCertsAgainstCrls(chain, crlFiles, pass.error)) {
    install::logSigValid(kSigKind);
    pass.valid = true;
  } else {
    install::logCertRevocationFound();
    keepFirstError(pass.error,
                   "At least one of the certificates in the signature has been revoked");
  }
  return pass;
}

}  // namespace signature
