#pragma once
// One run of the program's own signature verification, start to verdict, for the tools:
// the same verifier, embedded root, checks and revocation pass as the program, with the
// revocation lists either fetched from the chain's distribution points through the
// Downloader or taken from files.

#include <optional>
#include <string>
#include <vector>

#include "signature/SignatureVerification.h"

namespace tools {

struct VerificationReport {
  bool accepted = false;
  bool interrupted = false;  ///< Ctrl-C ended the run before a verdict
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

/// Verifies data against its detached signature. With crlFiles nullopt the lists are
/// fetched from the chain's distribution points (quietly: no progress window), and the
/// fetched files are removed before this returns; otherwise the given files are used and
/// nothing is fetched. Runs the platform run loop until the verdict arrives. Writes the
/// program's install-log lines to the system log.
VerificationReport verifySignature(const std::string& data, const std::string& signature,
                                   const std::optional<std::vector<std::string>>& crlFiles);

/// The first signer's certificate as the signature file carries it, unchecked; null when
/// the file holds no DER PKCS#7 with one.
signature::X509Ptr carriedSignerCertificate(const std::string& signature);

/// The distribution points, as the program collects them, of the embedded root and of
/// every certificate the signature file carries (unchecked): those of any chain that the
/// signature can be verified with are among them.
std::vector<std::string> possibleDistributionPoints(const std::string& signature);

}  // namespace tools
