#pragma once
// The two passes of a verification, each a plain synchronous call with its install-log
// lines and texts: the first over the data and the signature, the revocation pass over the
// chain the first accepted and the lists at hand. SignatureVerification's driver runs them
// with a download of the lists between them; a tool with the lists already on disk runs
// them back to back.

#include <string>
#include <vector>

#include "signature/SignatureCheck.h"

namespace signature {

/// What the first pass found.
struct FirstPass {
  bool valid = false;
  /// The first error text (keep-first); empty when valid.
  std::string error;
  /// The accepted chain, root first and signer last, in references of its own; empty when
  /// rejected. certChain() holds the same certificates until the next check.
  std::vector<X509Ptr> chain;
};

/// The certificates of chain, in its order, each in a reference of its own: they outlive
/// chain, and certChain() when chain is it.
std::vector<X509Ptr> chainReferences(STACK_OF(X509) * chain);

/// readPkcs7, then verifyDetachedSignature over data. A rejection logs the invalid
/// "Detached" signature line.
FirstPass runFirstPass(const SignedData& data, const std::string& signaturePath);

/// What the revocation pass decided.
struct RevocationPass {
  bool valid = false;
  std::string error;  ///< the first error text (keep-first); empty when valid
};

/// readPkcs7 again (the signature file may have changed since the first pass), then
/// checkCertsAgainstCrls of chain with crlFiles; logs the verdict's lines. chain may be
/// certChain(), which is emptied when there are lists.
RevocationPass runRevocationPass(const std::string& signaturePath, STACK_OF(X509) * chain,
                                 const std::vector<std::string>& crlFiles);

}  // namespace signature
