#pragma once
// Certificates as the tools print them.

#include <openssl/x509.h>

#include <string>

namespace tools {

/// The certificate's subject in one line, entries in the certificate's order ("CN=..,C=..").
std::string subjectLine(X509* cert);
/// The certificate's issuer in the same form.
std::string issuerLine(X509* cert);
/// "notBefore to notAfter", as the library prints times.
std::string validityLine(X509* cert);
/// The serial number in hexadecimal.
std::string serialLine(X509* cert);

}  // namespace tools
