#pragma once
// The checks of a verification's first pass, synchronous, on local files: the detached
// PKCS#7 signature file, its first signer's subject and usage, and the signature over the
// data with the chain to the one embedded root. They need no run loop, notification or
// download; SignatureVerification runs them under the same names, the vendor tools call
// them directly.

#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <optional>
#include <string>
#include <vector>

#include "signature/OpenSslOwners.h"
#include "signature/SignedDataReader.h"

namespace signature {

// ---- Process-wide chain state ------------------------------------------------------
// Shared by every verification of the process: the library's callback has no way to reach
// the check that started it. One thread only.

/// The verify callback of every store made here: records each accepted certificate in
/// the process-wide chain and each error in the process-wide last error; returns ok.
int verifyCallback(int ok, X509_STORE_CTX* ctx);

/// The certificates that the chain checks of the current verification accepted, in the
/// order the callback saw them (root first); emptied when a verification's first pass
/// begins. Never null after start-up unless a list could not be made.
STACK_OF(X509) * certChain();
/// The last chain error code of the current verification; 0 when it has met none.
int callbackErrorNumber();
/// The library's text for callbackErrorNumber(); none when the verification has met none.
const std::optional<std::string>& callbackError();

// ---- Checks -------------------------------------------------------------------------

/// Keep-first: error takes message only while error is empty. Every check that takes an
/// error reports through this rule, so the text of the first failing step survives.
void keepFirstError(std::string& error, const std::string& message);

/// Parses signaturePath as one DER PKCS#7 and checks its first signer's names and usage;
/// null (with the message kept in error) on any failure.
Pkcs7Ptr readPkcs7(const std::string& signaturePath, std::string& error);
/// The message readPkcs7 keeps for a signer certificate whose subject (CN, C, O, OU) or
/// extended key usage the program does not accept; empty when both pass.
std::string checkSignerCertificate(X509* cert);
/// A copy of the first signer's certificate, looked up in the PKCS#7's own certificates.
X509Ptr getSignerCertificate(PKCS7* p7);
/// CN, C, O and OU of the subject, in that order, each the expected text exactly.
bool verifySignerNames(X509* cert);
/// The first entry of name with nid equals expected (UTF-8, case-sensitive, untrimmed).
bool verifySignerName(X509_NAME* name, const std::string& expected, int nid);
/// The decoded values of cert's first extension with nid: for NID_ext_key_usage the
/// usages' dotted object identifiers, for NID_crl_distribution_points the URI names of
/// each distribution point's full name. None when there is no such extension, it does
/// not decode, or nid is neither of the two.
std::optional<std::vector<std::string>> extractX509v3Data(X509* cert, int nid);
/// One of the extension's decoded values is expected, as a whole.
bool containsX509v3Data(X509* cert, const std::string& expected, int nid);
/// A store trusting the embedded root only, with verifyCallback, ignoring unknown critical
/// extensions and demanding no purpose. Null only when no store can be made; a store that
/// lacks its root also keeps a message in error.
StorePtr makeStoreForPkcs7(std::string& error);
/// The embedded root in a new stack; an empty stack when it does not parse.
X509StackPtr getTrustedCerts();
/// The embedded root, parsed; null when it does not parse.
X509Ptr getHalvexRoot();
/// Verifies p7 over data, streamed, with the chain to the root; false with the message
/// kept in error. Starts a new verification: certChain() and the last chain error are
/// reset first, and certChain() holds the accepted chain afterwards.
bool verifyDetachedSignature(PKCS7* p7, const SignedData& data, std::string& error);

}  // namespace signature
