#include "signature/RevocationCheck.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <algorithm>

#include "libinstall/InstallLogMsgs.h"
#include "platform/DebugTrace.h"
#include "signature/SignatureCheck.h"

namespace signature {
namespace {

// Revocation checking fails open: a store that cannot be had, or a list it refuses, lets
// the check pass. False when the lists do not count as loaded.
bool loadCrls(X509_STORE* store, const std::vector<std::string>& crlFiles) {
  if (store == nullptr) {
    DebugTrace("Warning: Unable to get store for CRL");
    return false;
  }
  X509_STORE_set_flags(store, X509_V_FLAG_CRL_CHECK | X509_V_FLAG_IGNORE_CRITICAL);
  for (const std::string& path : crlFiles) {
    CrlPtr crl = readCrlFromPath(path);
    if (!crl) continue;
    // The store keeps its own reference; ours is dropped with crl either way.
    if (X509_STORE_add_crl(store, crl.get()) != 1) {
      DebugTrace("Warning: Error adding CRL to store");
      ERR_clear_error();
      return false;
    }
  }
  return true;
}

// Empties the process-wide chain in place, so that a caller's pointer to it stays good;
// false when there is no list to record into.
bool emptyCertChain() {
  STACK_OF(X509)* chain = certChain();
  while (sk_X509_num(chain) > 0) X509_free(sk_X509_pop(chain));
  return chain != nullptr;
}

// Signer first, root last; what is left in saved when a certificate is checked are its
// issuers. True when one of them is revoked, with its text kept and the lines logged.
bool anyRevoked(X509StackPtr saved, X509_STORE* store, std::string& error) {
  while (sk_X509_num(saved.get()) > 0) {
    X509Ptr cert(sk_X509_pop(saved.get()));
    if (hasCertificateBeenRevoked(cert.get(), store, saved.get())) {
      install::logCertRevocationFound();
      keepFirstError(error, callbackError().value_or(""));
      install::logCertChainFailure();
      return true;
    }
  }
  return false;
}

}  // namespace

std::vector<std::string> collectCrlUrls(const STACK_OF(X509) * chain) {
  std::vector<std::string> urls;
  for (int i = 0; i < sk_X509_num(chain); ++i) {
    const auto uris = extractX509v3Data(sk_X509_value(chain, i), NID_crl_distribution_points);
    if (!uris) continue;
    for (const std::string& uri : *uris) {
      if (std::find(urls.begin(), urls.end(), uri) == urls.end()) urls.push_back(uri);
    }
  }
  return urls;
}

CrlPtr readCrlFromPath(const std::string& path) {
  BioPtr bio(BIO_new_file(path.c_str(), "rb"));
  if (!bio) {
    DebugTrace("Warning: Unable to create BIO for CRL at %s", path.c_str());
    ERR_clear_error();
    return nullptr;
  }
  CrlPtr crl(d2i_X509_CRL_bio(bio.get(), nullptr));
  if (!crl && BIO_reset(bio.get()) == 0) {
    crl.reset(PEM_read_bio_X509_CRL(bio.get(), nullptr, nullptr, nullptr));
  }
  if (!crl) DebugTrace("Warning: Unable to parse CRL at %s", path.c_str());
  ERR_clear_error();
  return crl;
}

bool hasCertificateBeenRevoked(X509* cert, X509_STORE* store, STACK_OF(X509) * untrusted) {
  StoreCtxPtr ctx(X509_STORE_CTX_new());
  if (!ctx) {
    DebugTrace("Warning: Unable to create X509_STORE_CTX object for CRL checks");
    return false;
  }
  if (X509_STORE_CTX_init(ctx.get(), store, cert, untrusted) != 1) {
    DebugTrace("Warning: Unable to initialize CRL verification context");
    return false;
  }
  if (X509_verify_cert(ctx.get()) == 1) return false;
  ERR_clear_error();
  if (callbackErrorNumber() == X509_V_ERR_CERT_REVOKED) return true;
  DebugTrace("Warning: Ignoring failed CRL check: %s", callbackError().value_or("").c_str());
  return false;
}

bool checkCertsAgainstCrls(STACK_OF(X509) * chain, const std::vector<std::string>& crlFiles,
                           std::string& error) {
  if (crlFiles.empty()) return true;
  StorePtr store = makeStoreForPkcs7(error);
  const bool loaded = loadCrls(store.get(), crlFiles);
  // The checks below record what they accept into certChain(), which may be chain itself:
  // they work on references of their own, and what they record is dropped after.
  X509StackPtr saved(X509_chain_up_ref(chain));
  bool revoked = false;
  install::logCertChainBegin();
  if (!saved || !emptyCertChain()) {
    DebugTrace("Warning: Unable to recreate certChain");
  } else if (loaded) {
    revoked = anyRevoked(std::move(saved), store.get(), error);
  }
  if (!revoked) install::logCertChainSuccess();
  emptyCertChain();
  return !revoked;
}

}  // namespace signature
