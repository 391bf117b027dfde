#pragma once
// One run of the program's own signature verification, start to verdict, for the tools:
// the same checks, embedded root, texts and install-log lines as the program, with the
// revocation lists taken from files. A plain synchronous call: no run loop, download or
// window (naib-verify's road that fetches the lists is tools/verify/FetchingVerification.h).

#include <optional>
#include <string>
#include <vector>

#include "signature/OpenSslOwners.h"

namespace tools {

struct VerificationReport {
  bool accepted = false;
  bool interrupted = false;  ///< Ctrl-C ended a fetch of the lists before a verdict
  std::string error;         ///< the verifier's first error text; empty when accepted
  /// The chain the first pass accepted, root first and signer last; empty when the first
  /// pass failed.
  std::vector<signature::X509Ptr> chain;
  /// The distribution points of that chain, as the program collects them.
  std::vector<std::string> crlUrls;
  /// The revocation list files the revocation pass was given (fetched or named).
  std::vector<std::string> crlFiles;
  /// The description of the last distribution point that could not be fetched.
  std::optional<std::string> fetchError;
};

/// Verifies data against its detached signature, then the chain it accepts against the
/// revocation lists of crlFiles, as the program's two passes do; nothing is fetched.
/// Writes the program's install-log lines to the system log.
VerificationReport verifyWithLists(const std::string& data, const std::string& signaturePath,
                                   const std::vector<std::string>& crlFiles);

/// The first signer's certificate as the signature file carries it, unchecked; null when
/// the file holds no DER PKCS#7 with one.
signature::X509Ptr carriedSignerCertificate(const std::string& signature);

/// The distribution points, as the program collects them, of the embedded root and of
/// every certificate the signature file carries (unchecked): those of any chain that the
/// signature can be verified with are among them.
std::vector<std::string> possibleDistributionPoints(const std::string& signature);

}  // namespace tools
