#pragma once
// Signs a runtime installer the way the program expects: one detached DER PKCS#7 over the
// installer's bytes, carrying the signer certificate and its intermediates.

#include <optional>
#include <string>

namespace tools {

struct SignRequest {
  std::string installer;             ///< the file to sign
  std::string certificate;           ///< the signer certificate, PEM
  std::string key;                   ///< its private key, PEM (a passphrase is asked for)
  std::optional<std::string> chain;  ///< intermediate certificates, PEM, any number
  std::string output;                ///< where the signature goes
  bool force = false;                ///< replace an existing output
};

/// Refuses a signer certificate that the program would reject (subject, usage), a key
/// that does not belong to it, and, after signing but before anything is written, a
/// signature that the program's first pass rejects (a chain that does not reach the
/// embedded root, an expired signer). Empty on success, with the signature at
/// request.output; else the one-line reason, and nothing is written.
std::string signInstaller(const SignRequest& request);

}  // namespace tools
