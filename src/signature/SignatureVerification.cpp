#include "signature/SignatureVerification.h"

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "download/Downloader.h"
#include "libinstall/InstallLogMsgs.h"
#include "platform/DebugTrace.h"
#include "signature/OrvelRootCert.h"

namespace signature {
namespace {

constexpr char kSigKind[] = "Detached";
constexpr char kUsageOid[] = "1.2.840.774420.1.1.12";

// The chain state is shared by every verifier of the process: the library's callback has
// no way to reach the verifier that started the verification.
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

// The verification asks its source for 4 KiB at a time; read straight from the file that
// is one system call per 4 KiB, which costs more than the digest. A buffer of this size in
// front of the file makes it one call per block, and still fits the core's cache.
constexpr long kDataReadBlockBytes = 256 * 1024;

// A reader of fd from its start that leaves fd open for its owner; null when fd cannot be
// read from its start.
BIO* openDescriptor(int fd) {
  if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  return BIO_new_fd(fd, BIO_NOCLOSE);
}

// source behind a read buffer of kDataReadBlockBytes; takes source, also on failure. Null
// when either is null.
BIO* inLargeBlocks(BIO* source) {
  BioPtr owned(source);
  if (!owned) return nullptr;
  BioPtr buffer(BIO_new(BIO_f_buffer()));
  if (!buffer || BIO_set_read_buffer_size(buffer.get(), kDataReadBlockBytes) != 1) return nullptr;
  BIO_push(buffer.get(), owned.release());
  return buffer.release();
}

constexpr uint64_t kReleaseBytes = 1024 * 1024;

// The copy of the data that a pass writes, and how far it got.
struct DataCopy {
  int fd;
  int dataFd;  // the data file's descriptor when it may release what is copied; else -1
  uint64_t copied = 0;
  bool failed = false;
};

bool writeAt(int fd, const char* bytes, size_t length, uint64_t at) {
  while (length > 0) {
    const ssize_t n = ::pwrite(fd, bytes, length, static_cast<off_t>(at));
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

// Called after every read from the data file, with the block just read into the buffer
// that the digest reads next: the copy is written from the very bytes the digest will
// see. The file's copied bytes are then released (a hole punched, its size kept, a whole
// MiB at a time): nothing reads them again, the data file and the copy never take the
// memory of two installers, and the copy goes into pages that were just in use rather than
// into memory the system must first make ready. Where the data descriptor is not writable
// or the file system punches no holes, the data simply stays.
long copyReadData(BIO* source, int operation, const char* block, size_t, int, long, int result,
                  size_t* read) {
  auto* copy = reinterpret_cast<DataCopy*>(BIO_get_callback_arg(source));
  if (operation != (BIO_CB_READ | BIO_CB_RETURN) || result <= 0 || copy->failed) return result;
  copy->failed = !writeAt(copy->fd, block, *read, copy->copied);
  const uint64_t from = copy->copied / kReleaseBytes * kReleaseBytes;
  copy->copied += *read;
  const uint64_t to = copy->copied / kReleaseBytes * kReleaseBytes;
  if (copy->dataFd >= 0 && to > from) {
    ::fallocate(copy->dataFd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
                static_cast<off_t>(to - from));
  }
  return result;
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

SignatureVerification::SignatureVerification(platform::NotificationCenter& center,
                                             platform::NotificationQueue& queue)
    : center_(center), queue_(queue) {
  center_.addObserver(this, download::kCrlDownloadDone,
                      [this](const platform::Notification& n) { notifyDownloaderDone(n); });
}

SignatureVerification::~SignatureVerification() {
  center_.removeObserver(this);
}

void SignatureVerification::setErrorString(const std::string& message) {
  if (!errorString_.empty()) return;
  errorString_ = message;
}

// ---- First pass -----------------------------------------------------------------------

Pkcs7Ptr SignatureVerification::readPkcs7() {
  BioPtr bio(BIO_new_file(signaturePath_.c_str(), "rb"));
  if (!bio) {
    setErrorString("Unable to read signature " + signaturePath_);
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
  setErrorString(message);
  if (!message.empty()) return nullptr;
  return p7;
}

std::string SignatureVerification::checkSignerCertificate(X509* cert) {
  if (!verifySignerNames(cert)) return "The signing certificate subject name did not match";
  if (!containsX509v3Data(cert, kUsageOid, NID_ext_key_usage)) {
    return "The signing certificate did not contain the expected object ID";
  }
  return std::string();
}

X509Ptr SignatureVerification::getSignerCertificate(PKCS7* p7) {
  STACK_OF(X509)* signers = PKCS7_get0_signers(p7, nullptr, 0);
  if (signers == nullptr) return nullptr;
  // The stack is the library's; its certificates belong to the PKCS#7.
  X509Ptr first(sk_X509_num(signers) > 0 ? X509_dup(sk_X509_value(signers, 0)) : nullptr);
  sk_X509_free(signers);
  return first;
}

bool SignatureVerification::verifySignerNames(X509* cert) {
  X509_NAME* subject = X509_get_subject_name(cert);
  if (subject == nullptr) return false;
  return std::all_of(
      std::begin(kSignerNames), std::end(kSignerNames),
      [subject](const NameCheck& c) { return verifySignerName(subject, c.expected, c.nid); });
}

bool SignatureVerification::verifySignerName(X509_NAME* name, const std::string& expected,
                                             int nid) {
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

std::optional<std::vector<std::string>> SignatureVerification::extractX509v3Data(X509* cert,
                                                                                 int nid) {
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

bool SignatureVerification::containsX509v3Data(X509* cert, const std::string& expected, int nid) {
  const auto values = extractX509v3Data(cert, nid);
  return values && std::find(values->begin(), values->end(), expected) != values->end();
}

X509Ptr SignatureVerification::getHalvexRoot() {
  BioPtr bio(BIO_new_mem_buf(OrvelRootCert, static_cast<int>(OrvelRootCertLength)));
  if (!bio) return nullptr;
  return X509Ptr(d2i_X509_bio(bio.get(), nullptr));
}

X509StackPtr SignatureVerification::getTrustedCerts() {
  X509StackPtr certs(sk_X509_new_null());
  if (!certs) return nullptr;
  if (X509Ptr root = getHalvexRoot(); root && sk_X509_push(certs.get(), root.get()) > 0) {
    root.release();
  }
  return certs;
}

StorePtr SignatureVerification::makeStoreForPkcs7() {
  StorePtr store(X509_STORE_new());
  if (!store) {
    setErrorString("Error creating X509_STORE object");
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
  setErrorString(message);
  return store;
}

bool SignatureVerification::verifyDetachedSignature(PKCS7* p7) {
  resetChainState();
  StorePtr store = makeStoreForPkcs7();
  if (!store) {
    setErrorString("Failed to create store pkcs7 signature");
    return false;
  }
  // Streamed through the digest by the library; the file is never loaded whole.
  BIO* source =
      dataDescriptor_ ? openDescriptor(*dataDescriptor_) : BIO_new_file(dataPath_.c_str(), "rb");
  DataCopy copy{copyDescriptor_.value_or(-1), dataDescriptor_.value_or(-1)};
  if (copyDescriptor_ && source != nullptr) {
    if (::ftruncate(copy.fd, 0) != 0) {
      BIO_free(source);
      setErrorString("Unable to copy data " + dataPath_);
      return false;
    }
    BIO_set_callback_arg(source, reinterpret_cast<char*>(&copy));
    BIO_set_callback_ex(source, copyReadData);
  }
  BioPtr data(inLargeBlocks(source));
  if (!data) {
    setErrorString("Unable to read data " + dataPath_);
    return false;
  }
  const bool verified = PKCS7_verify(p7, nullptr, store.get(), data.get(), nullptr, 0) == 1;
  // The library's error queue would otherwise grow with every rejected signature.
  ERR_clear_error();
  if (!verified) {
    setErrorString("Error verifying code signature. " + gCallbackError.value_or(""));
    return false;
  }
  // The library digested what it read, to the end: the copy holds the digested bytes only
  // when it took every one of them.
  if (copyDescriptor_ && (copy.failed || copy.copied != BIO_number_read(data.get()))) {
    setErrorString("Unable to copy data " + dataPath_);
    return false;
  }
  setErrorString(std::string());
  return true;
}

// ---- Driver ---------------------------------------------------------------------------

void SignatureVerification::verifyDataAtPath(const std::string& dataPath,
                                             const std::string& signaturePath) {
  // Copies first: the revocation pass calls back with this verifier's own fields.
  std::string data = dataPath;
  std::string signature = signaturePath;
  setDataPath(std::move(data));
  setSignaturePath(std::move(signature));
  Pkcs7Ptr p7 = readPkcs7();
  ERR_clear_error();
  if (!p7) {
    install::logSigInvalid(kSigKind);
    setErrorString("Failed to read pkcs7 signature");
    postVerdict(false);
    return;
  }
  if (!startedFetchingCrls_) {
    runFirstPass(p7.get());
  } else {
    runRevocationPass();
  }
}

void SignatureVerification::runFirstPass(PKCS7* p7) {
  if (!verifyDetachedSignature(p7)) {
    install::logSigInvalid(kSigKind);
    setErrorString("The signature was rejected");
    postVerdict(false);
    return;
  }
  startedFetchingCrls_ = true;
  if (chainObserver_) chainObserver_(gCertChain);
  startFetchingCrlsOnSignature();
}

void SignatureVerification::runRevocationPass() {
  if (checkCertsAgainstCrls()) {
    install::logSigValid(kSigKind);
    postVerdict(true);
  } else {
    install::logCertRevocationFound();
    setErrorString("At least one of the certificates in the signature has been revoked");
    postVerdict(false);
  }
}

void SignatureVerification::postVerdict(bool valid) {
  verdictPosted_ = true;
  sendNotificationOfResult(valid);
}

void SignatureVerification::sendNotificationOfResult(bool valid) {
  platform::Notification n;
  n.name = kSignatureVerifyDone;
  n.object = this;
  n.userInfo[kSignatureKeyIsValid] = valid;
  n.userInfo[kSignatureKeyCancelled] = cancelled_;
  queue_.enqueue(std::move(n), platform::PostingStyle::WhenIdle);
}

// ---- Revocation pass ------------------------------------------------------------------

std::vector<std::string> SignatureVerification::collectCrlUrls(const STACK_OF(X509) * chain) {
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

bool SignatureVerification::startFetchingCrlsOnSignature() {
  std::vector<std::string> urls = collectCrlUrls(gCertChain);
  setErrorString("");
  if (!urls.empty() && startCrlDownload_) {
    startCrlDownload_(urls);
    return true;
  }
  // Without a downloader the lists cannot be fetched; like a failed download this lets
  // the check pass instead of leaving the verification without a verdict.
  if (!urls.empty()) DebugTrace("Warning: Unable to fetch certificate revocation files");
  verifyDataAtPath(dataPath_, signaturePath_);
  return true;
}

void SignatureVerification::notifyDownloaderDone(const platform::Notification& n) {
  download::DownloadDone done = download::downloadDoneOf(n);
  handleDownloaderDone(done.success, std::move(done.files), done.cancelled);
}

void SignatureVerification::handleDownloaderDone(bool success, PathList files, bool cancelled) {
  // The notification comes from any sender: one that arrives before this verifier asked
  // for CRLs, or after its verdict, is not an answer to it.
  if (!startedFetchingCrls_ || verdictPosted_) return;
  // A person who cancels asked for the install to stop, which is not a failure to fetch:
  // the check must not pass open into running the installer.
  if (cancelled) {
    cancelled_ = true;
    postVerdict(false);
    return;
  }
  if (success && files && !files->empty()) {
    setCrlPaths(std::move(files));
  } else {
    DebugTrace("Warning: Unable to fetch certificate revocation files");
  }
  verifyDataAtPath(dataPath_, signaturePath_);
}

CrlPtr SignatureVerification::readCrlFromPath(const std::string& path) {
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

bool SignatureVerification::hasCertificateBeenRevoked(X509* cert, X509_STORE* store,
                                                      STACK_OF(X509) * untrusted) {
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
  if (gCallbackErrorNumber == X509_V_ERR_CERT_REVOKED) return true;
  DebugTrace("Warning: Ignoring failed CRL check: %s", gCallbackError.value_or("").c_str());
  return false;
}

bool SignatureVerification::checkCertsAgainstCrls() {
  if (!crlPaths_ || crlPaths_->empty()) return true;
  StorePtr store = makeStoreForPkcs7();
  bool loaded = false;
  if (!store) {
    DebugTrace("Warning: Unable to get store for CRL");
  } else {
    X509_STORE_set_flags(store.get(), X509_V_FLAG_CRL_CHECK | X509_V_FLAG_IGNORE_CRITICAL);
    loaded = true;
    for (const std::string& path : *crlPaths_) {
      CrlPtr crl = readCrlFromPath(path);
      if (!crl) continue;
      // The store keeps its own reference; ours is dropped with crl either way.
      if (X509_STORE_add_crl(store.get(), crl.get()) != 1) {
        DebugTrace("Warning: Error adding CRL to store");
        ERR_clear_error();
        loaded = false;
        break;
      }
    }
  }

  X509StackPtr saved(gCertChain);
  gCertChain = sk_X509_new_null();
  bool result = true;
  if (gCertChain == nullptr) {
    DebugTrace("Warning: Unable to recreate certChain");
    install::logCertChainBegin();
    install::logCertChainSuccess();
  } else {
    install::logCertChainBegin();
    if (loaded) {
      // Signer first, root last; what is left in saved are the target's issuers.
      while (sk_X509_num(saved.get()) > 0) {
        X509Ptr cert(sk_X509_pop(saved.get()));
        if (hasCertificateBeenRevoked(cert.get(), store.get(), saved.get())) {
          install::logCertRevocationFound();
          setErrorString(gCallbackError.value_or(""));
          install::logCertChainFailure();
          result = false;
          break;
        }
      }
    }
    if (result) install::logCertChainSuccess();
  }

  // Both lists go with their certificates; the process keeps a fresh empty chain.
  saved.reset();
  X509StackPtr current(gCertChain);
  gCertChain = sk_X509_new_null();
  if (gCertChain == nullptr) DebugTrace("Warning: Unable to recreate certChain");
  return result;
}

}  // namespace signature
