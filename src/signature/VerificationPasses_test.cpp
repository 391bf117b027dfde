#include "signature/VerificationPasses.h"

#include <gtest/gtest.h>

namespace signature {
namespace {

std::string pki(const std::string& name) {
  return std::string(NAIB_TEST_PKI_DIR) + "/" + name;
}

// The passes back to back on files at hand, as the tools run them: no run loop and no
// notification, and the revocation pass judges the chain it is given, even when the
// process-wide chain has moved on, and leaves it whole.
TEST(VerificationPasses, TheRevocationPassJudgesTheChainItIsGiven) {
  const std::string revoked = X509_verify_cert_error_string(X509_V_ERR_CERT_REVOKED);
  const std::string expired = X509_verify_cert_error_string(X509_V_ERR_CERT_HAS_EXPIRED);
  struct Case {
    const char* sig;
    std::vector<std::string> crls;
    bool valid;
    std::string error;
  };
  for (const Case& c : {
           Case{"sig-good.der", {"crl-intermediate.der", "crl-root.der"}, true, ""},
           Case{"sig-revoked.der", {"crl-root.der", "crl-intermediate.der"}, false, revoked},
           Case{"sig-revoked.der", {}, true, ""},
           Case{"sig-expired.der", {}, false, "Error verifying code signature. " + expired},
       }) {
    SCOPED_TRACE(c.sig);
    FirstPass first = runFirstPass({pki("data.bin"), {}}, pki(c.sig));
    if (!first.valid) {
      EXPECT_EQ(first.error, c.error);
      EXPECT_TRUE(first.chain.empty());
      continue;
    }
    ASSERT_EQ(first.chain.size(), 3u);
    X509StackPtr held(sk_X509_new_null());
    for (X509Ptr& cert : first.chain) sk_X509_push(held.get(), cert.release());
    while (sk_X509_num(certChain()) > 0) X509_free(sk_X509_pop(certChain()));
    std::vector<std::string> files;
    for (const std::string& crl : c.crls) files.push_back(pki(crl));
    const RevocationPass pass = runRevocationPass(pki(c.sig), held.get(), files);
    EXPECT_EQ(pass.valid, c.valid);
    EXPECT_EQ(pass.error, c.error);
    EXPECT_EQ(sk_X509_num(held.get()), 3);
  }
}

}  // namespace
}  // namespace signature
