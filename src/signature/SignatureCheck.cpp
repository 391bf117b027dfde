#include "signature/SignatureCheck.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <memory>

#include "signature/OrvelRootCert.h"
#include "signature/SignedDataReader.h"

namespace signature {
namespace {

constexpr char kUsageOid[] = "1.2.840.774420.1.1.12";

// The chain state is shared by every verification of the process: the library's callback
// has no way to reach the check that started it.
STACK_OF(X509) * gCertChain = sk_X509_new_null();
int gCallbackErrorNumber = 0;
std::optional<std::string> gCallbackError;

struct NameCheck {
  int nid;
  const char* expected;
};
constexpr NameCheck kSignerNames[] = {
    {NID_commonName, "Halvex Orvel"},
    {NID_countryName, "US"},
    {NID_organizationName, "Halvex Systems Incorporated"},
    {NID_organizationalUnitName, "Halvex Trust Services"},
};

struct OpenSslStringFree {
  void operator()(unsigned char* p) const { OPENSSL_free(p); }
};
struct EkuFree {
  void operator()(EXTENDED_KEY_USAGE* p) const { EXTENDED_KEY_USAGE_free(p); }
};
struct DistPointsFree {
  void operator()(CRL_DIST_POINTS* p) const { CRL_DIST_POINTS_free(p); }
};

std::vector<std::string> usageOids(const EXTENDED_KEY_USAGE* eku) {
  std::vector<std::string> oids;
  for (int i = 0; i < sk_ASN1_OBJECT_num(eku); ++i) {
    char buf[128];
    const int len = OBJ_obj2txt(buf, sizeof buf, sk_ASN1_OBJECT_value(eku, i), 1);
    // An identifier too long for the buffer is kept out rather than cut to a prefix.
    if (len > 0 && len < static_cast<int>(sizeof buf)) oids.emplace_back(buf, len);
  }
  return oids;
}

// A URI that holds a NUL or a control character is dropped: it would name one place to
// a C string and another to the eye.
bool isCleanUri(const ASN1_IA5STRING* uri) {
  const unsigned char* p = ASN1_STRING_get0_data(uri);
  const int len = ASN1_STRING_length(uri);
  if (len <= 0) return false;
  return std::all_of(p, p + len, [](unsigned char c) { return c > 0x20 && c < 0x7f; });
}

std::vector<std::string> distributionPointUris(const CRL_DIST_POINTS* points) {
  std::vector<std::string> uris;
  for (int i = 0; i < sk_DIST_POINT_num(points); ++i) {
    const DIST_POINT* dp = sk_DIST_POINT_value(points, i);
    // Only a full name lists general names; a name relative to the issuer has no URI.
    if (dp->distpoint == nullptr || dp->distpoint->type != 0) continue;
    const GENERAL_NAMES* names = dp->distpoint->name.fullname;
    for (int j = 0; j < sk_GENERAL_NAME_num(names); ++j) {
      const GENERAL_NAME* gn = sk_GENERAL_NAME_value(names, j);
      if (gn->type != GEN_URI || !isCleanUri(gn->d.uniformResourceIdentifier)) continue;
      const ASN1_IA5STRING* uri = gn->d.uniformResourceIdentifier;
      uris.emplace_back(reinterpret_cast<const char*>(ASN1_STRING_get0_data(uri)),
                        ASN1_STRING_length(uri));
    }
  }
  return uris;
}

// Each verification starts from an empty chain and no recorded error, so that what the
// revocation pass reads and what a rejection reports belong to this verification, and the
// certificates of earlier ones are not kept for the life of the process.
void resetChainState() {
  if (gCertChain == nullptr) gCertChain = sk_X509_new_null();
  while (sk_X509_num(gCertChain) > 0) X509_free(sk_X509_pop(gCertChain));
  gCallbackErrorNumber = 0;
  gCallbackError.reset();
}

}  // namespace

int verifyCallback(int ok, X509_STORE_CTX* ctx) {
  if (ok) {
    X509* current = X509_STORE_CTX_get_current_cert(ctx);
    if (current != nullptr && gCertChain != nullptr) {
      X509Ptr copy(X509_dup(current));
      if (copy && sk_X509_push(gCertChain, copy.get()) > 0) copy.release();
    }
  } else {
    gCallbackErrorNumber = X509_STORE_CTX_get_error(ctx);
    gCallbackError = X509_verify_cert_error_string(gCallbackErrorNumber);
  }
  return ok;
}

STACK_OF(X509) * certChain() {
  return gCertChain;
}
int callbackErrorNumber() {
  return gCallbackErrorNumber;
}
const std::optional<std::string>& callbackError() {
  return gCallbackError;
}

void keepFirstError(std::string& error, const std::string& message) {
  if (error.empty()) error = message;
}

Pkcs7Ptr readPkcs7(const std::string& signaturePath, std::string& error) {
  BioPtr bio(BIO_new_file(signaturePath.c_str(), "rb"));
  if (!bio) {
    keepFirstError(error, "Unable to read signature " + signaturePath);
    return nullptr;
  }
  Pkcs7Ptr p7(d2i_PKCS7_bio(bio.get(), nullptr));
  std::string message;
  if (!p7) {
    message = "Error reading PKCS7 code signature";
  } else if (X509Ptr signer = getSignerCertificate(p7.get()); !signer) {
    message = "Unable to get signing certificate from PKCS7 signature";
  } else {
    message = checkSignerCertificate(signer.get());
  }
  keepFirstError(error, message);
  if (!message.empty()) return nullptr;
  return p7;
}

std::string checkSignerCertificate(X509* cert) {
  if (!verifySignerNames(cert)) return "The signing certificate subject name did not match";
  if (!containsX509v3Data(cert, kUsageOid, NID_ext_key_usage)) {
    return "The signing certificate did not contain the expected object ID";
  }
  return std::string();
}

X509Ptr getSignerCertificate(PKCS7* p7) {
  STACK_OF(X509)* signers = PKCS7_get0_signers(p7, nullptr, 0);
  if (signers == nullptr) return nullptr;
  // The stack is the library's; its certificates belong to the PKCS#7.
  X509Ptr first(sk_X509_num(signers) > 0 ? X509_dup(sk_X509_value(signers, 0)) : nullptr);
  sk_X509_free(signers);
  return first;
}

bool verifySignerNames(X509* cert) {
  X509_NAME* subject = X509_get_subject_name(cert);
  if (subject == nullptr) return false;
  return std::all_of(
      std::begin(kSignerNames), std::end(kSignerNames),
      [subject](const NameCheck& c) { return verifySignerName(subject, c.expected, c.nid); });
}

bool verifySignerName(X509_NAME* name, const std::string& expected, int nid) {
  const int index = X509_NAME_get_index_by_NID(name, nid, -1);
  if (index < 0) return false;
  ASN1_STRING* value = X509_NAME_ENTRY_get_data(X509_NAME_get_entry(name, index));
  unsigned char* raw = nullptr;
  const int len = ASN1_STRING_to_UTF8(&raw, value);
  if (len < 0) return false;
  std::unique_ptr<unsigned char, OpenSslStringFree> utf8(raw);
  // A value with a NUL inside is refused: read up to the NUL, it would pass for its prefix.
  const std::string text(reinterpret_cast<const char*>(utf8.get()));
  return text == expected && static_cast<int>(text.size()) == len;
}

std::optional<std::vector<std::string>> extractX509v3Data(X509* cert, int nid) {
  int critical = 0;
  int index = -1;  // the first extension with the nid, even when several are present
  if (nid == NID_ext_key_usage) {
    std::unique_ptr<EXTENDED_KEY_USAGE, EkuFree> eku(
        static_cast<EXTENDED_KEY_USAGE*>(X509_get_ext_d2i(cert, nid, &critical, &index)));
    if (!eku) return std::nullopt;
    return usageOids(eku.get());
  }
  if (nid == NID_crl_distribution_points) {
    std::unique_ptr<CRL_DIST_POINTS, DistPointsFree> points(
        static_cast<CRL_DIST_POINTS*>(X509_get_ext_d2i(cert, nid, &critical, &index)));
    if (!points) return std::nullopt;
    return distributionPointUris(points.get());
  }
  return std::nullopt;
}

bool containsX509v3Data(X509* cert, const std::string& expected, int nid) {
  const auto values = extractX509v3Data(cert, nid);
  return values && std::find(values->begin(), values->end(), expected) != values->end();
}

X509Ptr getHalvexRoot() {
  BioPtr bio(BIO_new_mem_buf(OrvelRootCert, static_cast<int>(OrvelRootCertLength)));
  if (!bio) return nullptr;
  return X509Ptr(d2i_X509_bio(bio.get(), nullptr));
}

X509StackPtr getTrustedCerts() {
  X509StackPtr certs(sk_X509_new_null());
  if (!certs) return nullptr;
  if (X509Ptr root = getHalvexRoot(); root && sk_X509_push(certs.get(), root.get()) > 0) {
    root.release();
  }
  return certs;
}

StorePtr makeStoreForPkcs7(std::string& error) {
  StorePtr store(X509_STORE_new());
  if (!store) {
    keepFirstError(error, "Error creating X509_STORE object");
    return nullptr;
  }
  X509_STORE_set_verify_cb_func(store.get(), verifyCallback);
  std::string message;
  X509StackPtr trusted = getTrustedCerts();
  if (!trusted) {
    message = "Unable to find any trused certificates";
  } else {
    bool allAdded = true;
    while (sk_X509_num(trusted.get()) > 0) {
      // The store takes its own reference; ours goes with the popped pointer.
      X509Ptr cert(sk_X509_pop(trusted.get()));
      if (X509_STORE_add_cert(store.get(), cert.get()) != 1) allAdded = false;
    }
    if (allAdded) {
      X509_STORE_set_flags(store.get(), X509_V_FLAG_IGNORE_CRITICAL);
      X509_STORE_set_purpose(store.get(), X509_PURPOSE_ANY);
    } else {
      message = "Unable to add trused certificate to store";
    }
  }
  keepFirstError(error, message);
  return store;
}

bool verifyDetachedSignature(PKCS7* p7, const SignedData& data, std::string& error) {
  resetChainState();
  StorePtr store = makeStoreForPkcs7(error);
  if (!store) {
    keepFirstError(error, "Failed to create store pkcs7 signature");
    return false;
  }
  SignedDataReader reader(data);
  if (reader.bio() == nullptr) {
    keepFirstError(error, reader.problem());
    return false;
  }
  const bool verified = PKCS7_verify(p7, nullptr, store.get(), reader.bio(), nullptr, 0) == 1;
  // The library's error queue would otherwise grow with every rejected signature.
  ERR_clear_error();
  if (!verified) {
    keepFirstError(error, "Error verifying code signature. " + gCallbackError.value_or(""));
    return false;
  }
  return true;
}

}  // namespace signature
