// Feeds arbitrary bytes as a DER certificate to the readers of what a signer's certificate
// claims: its subject entries, its extended key usage and its CRL distribution points.
// Besides the sanitizers' findings, every URL handed to the downloader must be free of
// NULs, blanks and control characters.
#include <openssl/err.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "signature/SignatureVerification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A rejected input leaves its reasons on the library's error queue, which the program
  // clears after every verification. Kept, they read as a leak to libFuzzer, whose leak
  // scan then stops the process for every input.
  struct ClearErrors {
    ~ClearErrors() { ERR_clear_error(); }
  } clearErrors;
  const unsigned char* p = data;
  signature::X509Ptr cert(d2i_X509(nullptr, &p, static_cast<long>(size)));
  if (!cert) return 0;
  using signature::SignatureVerification;
  SignatureVerification::verifySignerNames(cert.get());
  SignatureVerification::containsX509v3Data(cert.get(), "1.2.840.774420.1.1.12", NID_ext_key_usage);
  SignatureVerification::extractX509v3Data(cert.get(), NID_ext_key_usage);
  signature::X509StackPtr chain(sk_X509_new_null());
  X509_up_ref(cert.get());
  sk_X509_push(chain.get(), cert.get());
  for (const std::string& url : SignatureVerification::collectCrlUrls(chain.get())) {
    for (unsigned char c : url) {
      if (c <= 0x20 || c >= 0x7f) std::abort();
    }
  }
  return 0;
}
