#pragma once
// Owners of the library's objects: each frees with the library's own function.

#include <openssl/bio.h>
#include <openssl/pkcs7.h>
#include <openssl/x509.h>

#include <memory>

namespace signature {

struct OpenSslFree {
  void operator()(PKCS7* p) const { PKCS7_free(p); }
  void operator()(X509* p) const { X509_free(p); }
  void operator()(X509_CRL* p) const { X509_CRL_free(p); }
  void operator()(X509_STORE* p) const { X509_STORE_free(p); }
  void operator()(X509_STORE_CTX* p) const { X509_STORE_CTX_free(p); }
  void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
  void operator()(BIO* p) const { BIO_free_all(p); }
};
using Pkcs7Ptr = std::unique_ptr<PKCS7, OpenSslFree>;
using X509Ptr = std::unique_ptr<X509, OpenSslFree>;
using CrlPtr = std::unique_ptr<X509_CRL, OpenSslFree>;
using StorePtr = std::unique_ptr<X509_STORE, OpenSslFree>;
using StoreCtxPtr = std::unique_ptr<X509_STORE_CTX, OpenSslFree>;
using X509StackPtr = std::unique_ptr<STACK_OF(X509), OpenSslFree>;
using BioPtr = std::unique_ptr<BIO, OpenSslFree>;

}  // namespace signature
