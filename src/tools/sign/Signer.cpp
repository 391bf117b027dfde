#include "tools/sign/Signer.h"

#include <openssl/err.h>
#include <openssl/pem.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "platform/files/FileSystem.h"
#include "signature/SignatureCheck.h"
#include "tools/common/StagedFile.h"
#include "tools/common/ToolCli.h"

namespace tools {
namespace {

using signature::BioPtr;
using signature::X509Ptr;
using signature::X509StackPtr;

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;

/// The library's most recent error text, for messages; the queue is emptied.
std::string libraryError() {
  const unsigned long code = ERR_peek_last_error();
  ERR_clear_error();
  if (code == 0) return "unknown error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

X509Ptr readCertificate(const std::string& path) {
  BioPtr bio(BIO_new_file(path.c_str(), "rb"));
  return X509Ptr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

/// Every certificate of a PEM file; null when the file cannot be read or holds none.
X509StackPtr readCertificates(const std::string& path) {
  BioPtr bio(BIO_new_file(path.c_str(), "rb"));
  if (!bio) return nullptr;
  X509StackPtr certs(sk_X509_new_null());
  while (certs) {
    X509Ptr cert(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    if (!cert) break;
    if (sk_X509_push(certs.get(), cert.get()) <= 0) return nullptr;
    cert.release();
  }
  ERR_clear_error();  // the end of the file reads as an error
  if (!certs || sk_X509_num(certs.get()) == 0) return nullptr;
  return certs;
}

KeyPtr readKey(const std::string& path) {
  BioPtr bio(BIO_new_file(path.c_str(), "rb"));
  // No callback: the library asks on the terminal when the key has a passphrase.
  return KeyPtr(bio ? PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

/// The program's first pass over the staged signature: the same checks, the same root.
std::string firstPassProblem(const std::string& installer, const std::string& signaturePath) {
  std::string error;
  signature::Pkcs7Ptr p7 = signature::readPkcs7(signaturePath, error);
  const bool accepted = p7 && signature::verifyDetachedSignature(p7.get(), {installer, {}}, error);
  ERR_clear_error();
  return accepted ? std::string() : "the program would reject this signature: " + error;
}

/// Why the files of request cannot be read or written as asked; empty when they can.
std::string fileProblem(const SignRequest& request) {
  std::vector<std::pair<std::string, const char*>> inputs = {
      {request.installer, "installer file"}, {request.certificate, "file"}, {request.key, "file"}};
  if (request.chain) inputs.emplace_back(*request.chain, "file");
  for (const auto& [path, what] : inputs) {
    if (std::string problem = inputFileProblem(path, what); !problem.empty()) return problem;
    // Written over, an input would be lost; the installer would become its own signature.
    std::error_code ec;
    if (std::filesystem::equivalent(request.output, path, ec)) {
      return "the output " + request.output + " is one of the inputs (" + path + ")";
    }
  }
  return std::string();
}

}  // namespace

std::string signInstaller(const SignRequest& request) {
  if (std::string problem = fileProblem(request); !problem.empty()) return problem;
  if (platform::fileExists(request.output) && !request.force) {
    return request.output + " exists (use --force to replace it)";
  }
  X509Ptr cert = readCertificate(request.certificate);
  if (!cert) return "no PEM certificate in " + request.certificate;
  // The same rules the program applies to the signer it finds in the signature.
  if (std::string problem = signature::checkSignerCertificate(cert.get()); !problem.empty()) {
    return "refusing the signer certificate: " + problem;
  }
  KeyPtr key = readKey(request.key);
  if (!key) return "no usable PEM private key in " + request.key + ": " + libraryError();
  if (X509_check_private_key(cert.get(), key.get()) != 1) {
    ERR_clear_error();
    return "the key in " + request.key + " does not belong to the signer certificate";
  }
  X509StackPtr chain;
  if (request.chain) {
    chain = readCertificates(*request.chain);
    if (!chain) return "no PEM certificates in " + *request.chain;
  }

  BioPtr data(BIO_new_file(request.installer.c_str(), "rb"));
  if (!data) return "cannot read " + request.installer;
  // Binary: the installer's bytes are signed as they are, never as text.
  signature::Pkcs7Ptr p7(
      PKCS7_sign(cert.get(), key.get(), chain.get(), data.get(), PKCS7_DETACHED | PKCS7_BINARY));
  if (!p7) return "signing failed: " + libraryError();

  StagedFile staged(request.output);
  if (!staged.ok()) return staged.error();
  {
    BioPtr out(BIO_new_file(staged.path().c_str(), "wb"));
    if (!out || i2d_PKCS7_bio(out.get(), p7.get()) != 1 || BIO_flush(out.get()) != 1) {
      return "cannot write the signature: " + libraryError();
    }
  }
  if (std::string problem = firstPassProblem(request.installer, staged.path()); !problem.empty()) {
    return problem;
  }
  if (!staged.commit(0644)) return staged.error();
  return std::string();
}

}  // namespace tools
