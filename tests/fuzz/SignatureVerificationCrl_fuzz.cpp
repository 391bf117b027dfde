// Feeds arbitrary bytes as a downloaded CRL file: the DER-then-PEM reader, and for a CRL
// that parses, the revocation check of the test PKI's signer chain against it. A CRL that
// does not come from the chain's own authorities can never revoke anything.
#include <openssl/err.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzInputFile.h"
#include "signature/SignatureVerification.h"

namespace {

signature::X509Ptr loadCert(const char* path) {
  signature::BioPtr bio(BIO_new_file(path, "rb"));
  if (!bio) std::abort();
  signature::X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
  if (!cert) std::abort();
  return cert;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::NotificationCenter center;
  static platform::NotificationQueue queue(center);
  static signature::X509Ptr signer = loadCert(NAIB_TEST_PKI_DIR "/signer-good.pem");
  static signature::X509Ptr intermediate = loadCert(NAIB_TEST_PKI_DIR "/intermediate.pem");
  // As the program does after every verification; kept, the queue reads as a leak.
  struct ClearErrors {
    ~ClearErrors() { ERR_clear_error(); }
  } clearErrors;

  signature::CrlPtr crl =
      signature::SignatureVerification::readCrlFromPath(fuzzing::writeInputFile(data, size));
  if (!crl) return 0;
  signature::SignatureVerification verifier(center, queue);
  signature::StorePtr store = verifier.makeStoreForPkcs7();
  if (!store) std::abort();
  X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_IGNORE_CRITICAL);
  if (X509_STORE_add_crl(store.get(), crl.get()) != 1) return 0;
  signature::X509StackPtr untrusted(sk_X509_new_null());
  X509_up_ref(intermediate.get());
  sk_X509_push(untrusted.get(), intermediate.get());
  // Only a CRL signed by the intermediate's key could list the signer; a fuzzed one cannot.
  if (signature::SignatureVerification::hasCertificateBeenRevoked(signer.get(), store.get(),
                                                                  untrusted.get())) {
    std::abort();
  }
  while (sk_X509_num(signature::certChain()) > 0) X509_free(sk_X509_pop(signature::certChain()));
  return 0;
}
