// Verifies one detached signature over one data file the way the first pass does (reader,
// signer checks, signature over the streamed file, chain to the embedded root) and exits
// 0 when it is valid. Driven by verify_bench.sh, which times it against the library's own
// command-line tool on the same files.
#include <cstdio>

#include "platform/runloop/NotificationCenter.h"
#include "signature/SignatureVerification.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s DATA SIGNATURE\n", argv[0]);
    return 2;
  }
  platform::NotificationCenter center;
  platform::NotificationQueue queue(center);
  signature::SignatureVerification verifier(center, queue);
  verifier.setDataPath(argv[1]);
  verifier.setSignaturePath(argv[2]);
  signature::Pkcs7Ptr p7 = verifier.readPkcs7();
  const bool valid = p7 && verifier.verifyDetachedSignature(p7.get());
  if (!valid) std::fprintf(stderr, "%s\n", verifier.errorString().c_str());
  return valid ? 0 : 1;
}
