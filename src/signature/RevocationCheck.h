#pragma once
// The revocation checks, synchronous, on local files: the distribution points of a chain,
// the revocation lists read as the program reads them, and a chain checked against given
// lists. Where the lists come from (a download, a bundle, a command line) is the caller's
// business; none of this needs a run loop or a download.

#include <openssl/x509.h>

#include <string>
#include <vector>

#include "signature/OpenSslOwners.h"

namespace signature {

/// The distinct URI distribution points of every certificate of chain, first seen first.
std::vector<std::string> collectCrlUrls(const STACK_OF(X509) * chain);

/// The first CRL of the file, DER or else PEM; null when neither parses.
CrlPtr readCrlFromPath(const std::string& path);

/// One verification of cert against store with untrusted as intermediates; true only
/// when it fails because cert is revoked.
bool hasCertificateBeenRevoked(X509* cert, X509_STORE* store, STACK_OF(X509) * untrusted);

/// False only when a list of crlFiles that applies names a certificate of chain (root
/// first, signer last) as revoked; the library's text for it is then kept in error
/// (keepFirstError). Unreadable files are skipped, and a list that cannot apply (expired,
/// badly signed, from an issuer outside the chain) changes nothing. With no files: true,
/// nothing logged, certChain() untouched. Otherwise writes the cert-chain lines of the
/// install log and leaves certChain() empty; chain itself stays as the caller gave it,
/// even when it is certChain().
bool checkCertsAgainstCrls(STACK_OF(X509) * chain, const std::vector<std::string>& crlFiles,
                           std::string& error);

}  // namespace signature
