// Feeds arbitrary bytes as a detached signature to the first pass: the DER reader, the
// signer's names and usage, and the verification over the test PKI's data file with the
// chain to the embedded (test) root. Besides the sanitizers' findings, a signature that
// passes must have left a captured chain and no error text.
#include <openssl/err.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "FuzzInputFile.h"
#include "platform/runloop/NotificationCenter.h"
#include "signature/SignatureVerification.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static platform::NotificationCenter center;
  static platform::NotificationQueue queue(center);
  const std::string sigPath = fuzzing::writeInputFile(data, size);
  signature::SignatureVerification verifier(center, queue);
  verifier.setDataPath(NAIB_TEST_PKI_DIR "/data.bin");
  verifier.setSignaturePath(sigPath);
  signature::Pkcs7Ptr p7 = verifier.readPkcs7();
  ERR_clear_error();  // as the driver does: the library's error queue is not kept
  if (!p7) {
    if (verifier.errorString().empty()) std::abort();
    return 0;
  }
  const bool valid = verifier.verifyDetachedSignature(p7.get());
  if (valid && (!verifier.errorString().empty() || sk_X509_num(signature::certChain()) == 0)) {
    std::abort();
  }
  // The URLs of what was accepted. The next verification starts its own chain anyway, but
  // emptying it here keeps each run's allocations balanced, so that libFuzzer's leak check
  // only runs for inputs that really leak.
  signature::SignatureVerification::collectCrlUrls(signature::certChain());
  while (sk_X509_num(signature::certChain()) > 0) X509_free(sk_X509_pop(signature::certChain()));
  return 0;
}
