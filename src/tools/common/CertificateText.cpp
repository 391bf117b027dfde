#include "tools/common/CertificateText.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/crypto.h>

#include <memory>

namespace tools {
namespace {

struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using MemBio = std::unique_ptr<BIO, BioFree>;

std::string contents(BIO* bio) {
  BUF_MEM* mem = nullptr;
  BIO_get_mem_ptr(bio, &mem);
  return mem ? std::string(mem->data, mem->length) : std::string();
}

std::string nameLine(const X509_NAME* name) {
  MemBio bio(BIO_new(BIO_s_mem()));
  if (!bio || name == nullptr) return std::string();
  // In the certificate's own order; UTF-8 kept as UTF-8, control characters escaped, so a
  // name cannot break the line.
  X509_NAME_print_ex(bio.get(), name, 0, XN_FLAG_RFC2253 & ~XN_FLAG_DN_REV & ~ASN1_STRFLGS_ESC_MSB);
  return contents(bio.get());
}

std::string timeText(const ASN1_TIME* time) {
  MemBio bio(BIO_new(BIO_s_mem()));
  if (!bio || time == nullptr) return "?";
  ASN1_TIME_print(bio.get(), time);
  return contents(bio.get());
}

}  // namespace

std::string subjectLine(X509* cert) {
  return nameLine(X509_get_subject_name(cert));
}

std::string issuerLine(X509* cert) {
  return nameLine(X509_get_issuer_name(cert));
}

std::string validityLine(X509* cert) {
  return timeText(X509_get0_notBefore(cert)) + " to " + timeText(X509_get0_notAfter(cert));
}

std::string serialLine(X509* cert) {
  std::unique_ptr<BIGNUM, void (*)(BIGNUM*)> number(
      ASN1_INTEGER_to_BN(X509_get0_serialNumber(cert), nullptr), BN_free);
  if (!number) return "?";
  std::unique_ptr<char, void (*)(char*)> hex(BN_bn2hex(number.get()),
                                             [](char* p) { OPENSSL_free(p); });
  return hex ? std::string(hex.get()) : "?";
}

}  // namespace tools
