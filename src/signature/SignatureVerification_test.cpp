#include "signature/SignatureVerification.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "download/Downloader.h"
#include "libinstall/LibInstall.h"
#include "platform/runloop/RunLoop.h"
#include "platform/testing/LocalHttpServer.h"
#include "ui/testing/RecordingPresenter.h"

namespace signature {
namespace {

const std::string kPki = NAIB_TEST_PKI_DIR;
std::string pki(const std::string& name) {
  return kPki + "/" + name;
}

const std::string kNoOid = "The signing certificate did not contain the expected object ID";
const std::string kNameMismatch = "The signing certificate subject name did not match";
const std::string kNoSigner = "Unable to get signing certificate from PKCS7 signature";

X509Ptr loadCert(const std::string& name) {
  BioPtr bio(BIO_new_file(pki(name).c_str(), "rb"));
  return X509Ptr(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr);
}

std::string subjectCn(X509* cert) {
  char cn[256] = "";
  X509_NAME_get_text_by_NID(X509_get_subject_name(cert), NID_commonName, cn, sizeof cn);
  return cn;
}

void clearCertChain() {
  while (sk_X509_num(certChain()) > 0) X509_free(sk_X509_pop(certChain()));
}

// The install-log lines written while the object lives, read through the log's sink.
class LogCapture {
 public:
  LogCapture()
      : previous_(install::setInstallLogSink(
            [this](install::severity_t, const std::string& line) { lines_.push_back(line); })) {}
  ~LogCapture() { install::setInstallLogSink(std::move(previous_)); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  std::vector<std::string> lines() const { return lines_; }

 private:
  std::vector<std::string> lines_;
  install::InstallLogSink previous_;
};

struct Verdict {
  int count = 0;
  bool valid = false;
  bool cancelled = false;
  bool fromVerifier = false;
  bool deliveredDuringCall = false;
};

class SignatureVerificationTest : public testing::Test {
 protected:
  void SetUp() override { clearCertChain(); }

  // Runs one verification on verifier and waits for its verdicts.
  Verdict run(SignatureVerification& verifier, const std::string& data, const std::string& sig) {
    Verdict v;
    int tag = 0;
    center_.addObserver(&tag, kSignatureVerifyDone, [&](const platform::Notification& n) {
      ++v.count;
      v.fromVerifier = n.object == &verifier;
      const auto it = n.userInfo.find(kSignatureKeyIsValid);
      v.valid = it != n.userInfo.end() && std::any_cast<bool>(it->second);
    });
    verifier.verifyDataAtPath(data, sig);
    v.deliveredDuringCall = v.count != 0;
    platform::runMainLoopUntil([&] { return v.count > 0; }, 5000);
    // Whatever else was queued gets its turn: a second verdict would show here.
    platform::runMainLoopUntil([&] { return queue_.pending() == 0; }, 1000);
    center_.removeObserver(&tag);
    return v;
  }

  Verdict run(const std::string& data, const std::string& sig) {
    SignatureVerification verifier(center_, queue_);
    Verdict v = run(verifier, data, sig);
    lastError_ = verifier.errorString();
    return v;
  }

  platform::NotificationCenter center_;
  platform::NotificationQueue queue_{center_};
  std::string lastError_;
};

// The bytes checked are those of the descriptor the caller holds, never what the path
// names by then: the path is only for messages.
TEST_F(SignatureVerificationTest, DataComesFromTheGivenDescriptorFromItsStart) {
  struct Case {
    const char* heldFile;  // nullptr: a file that could not be opened
    const char* path;
    bool valid;
  };
  for (const Case& c :
       {Case{"data.bin", "data-tampered.bin", true}, Case{"data-tampered.bin", "data.bin", false},
        Case{nullptr, "data.bin", false}}) {
    SCOPED_TRACE(c.heldFile ? c.heldFile : "none");
    clearCertChain();
    const int fd = c.heldFile ? ::open(pki(c.heldFile).c_str(), O_RDONLY) : -1;
    // Read to its end first: the verifier must start from the first byte all the same.
    char sink[4096];
    while (fd >= 0 && ::read(fd, sink, sizeof sink) > 0) {
    }
    SignatureVerification verifier(center_, queue_);
    verifier.setDataDescriptor(fd);
    EXPECT_EQ(run(verifier, pki(c.path), pki("sig-good.der")).valid, c.valid);
    if (fd >= 0) {
      EXPECT_NE(::fcntl(fd, F_GETFD), -1) << "the descriptor stays the caller's";
      ::close(fd);
    }
  }
}

// A detached DER signature of data by the good signer, made for the test.
std::string signedBy(const std::string& data) {
  BioPtr keyIn(BIO_new_file(pki("signer-good.key").c_str(), "rb"));
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key(
      PEM_read_bio_PrivateKey(keyIn.get(), nullptr, nullptr, nullptr), &EVP_PKEY_free);
  X509Ptr signer = loadCert("signer-good.pem");
  X509Ptr intermediate = loadCert("intermediate.pem");
  X509StackPtr chain(sk_X509_new_null());
  sk_X509_push(chain.get(), intermediate.get());
  BioPtr in(BIO_new_mem_buf(data.data(), static_cast<int>(data.size())));
  Pkcs7Ptr p7(
      PKCS7_sign(signer.get(), key.get(), chain.get(), in.get(), PKCS7_DETACHED | PKCS7_BINARY));
  sk_X509_pop(chain.get());  // still owned by intermediate
  unsigned char* der = nullptr;
  const int length = p7 ? i2d_PKCS7(p7.get(), &der) : 0;
  std::string out(reinterpret_cast<char*>(der), length > 0 ? length : 0);
  OPENSSL_free(der);
  return out;
}

// Files larger than any read of the verification: every byte up to the last one counts.
TEST_F(SignatureVerificationTest, EveryByteOfALargeFileIsJudged) {
  std::string pattern = testing::TempDir() + "naib-large-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
  for (std::size_t size : {std::size_t{256 * 1024 - 1}, std::size_t{3 * 1024 * 1024 + 17}}) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131) ^ (i >> 9));
    const std::string sig = pattern + "/sig.der";
    std::ofstream(sig, std::ios::binary) << signedBy(data);
    for (std::size_t flip : {std::string::npos, std::size_t{0}, size / 2, size - 1}) {
      SCOPED_TRACE(std::to_string(size) + " flip " + std::to_string(flip));
      std::string bytes = data;
      if (flip != std::string::npos) bytes[flip] ^= 1;
      const std::string path = pattern + "/data";
      std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
      clearCertChain();
      const int fd = ::open(path.c_str(), O_RDONLY);
      SignatureVerification verifier(center_, queue_);
      verifier.setDataDescriptor(fd);
      EXPECT_EQ(run(verifier, path, sig).valid, flip == std::string::npos);
      ::close(fd);
    }
  }
  std::filesystem::remove_all(pattern);
}

// No downloader is set here: the chain's CRLs cannot be fetched, which, like a failed
// download, lets the check pass rather than leaving the verification without a verdict.
TEST_F(SignatureVerificationTest, GoodSignatureIsValidAndCapturesTheChainRootFirst) {
  LogCapture log;
  const Verdict v = run(pki("data.bin"), pki("sig-good.der"));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Detached signature verified"});
  EXPECT_EQ(v.count, 1);
  EXPECT_TRUE(v.valid);
  EXPECT_TRUE(v.fromVerifier);
  EXPECT_FALSE(v.deliveredDuringCall);
  EXPECT_EQ(lastError_, "");
  ASSERT_EQ(sk_X509_num(certChain()), 3);
  EXPECT_EQ(subjectCn(sk_X509_value(certChain(), 0)), "Halvex Root CA");
  EXPECT_EQ(subjectCn(sk_X509_value(certChain(), 1)), "Halvex Code Signing CA");
  EXPECT_EQ(subjectCn(sk_X509_value(certChain(), 2)), "Halvex Orvel");
}

TEST_F(SignatureVerificationTest, SignerWithTwoUnitsPassesWhenTheFirstMatches) {
  EXPECT_TRUE(run(pki("data.bin"), pki("sig-two-ou.der")).valid);
  EXPECT_EQ(lastError_, "");
}

TEST_F(SignatureVerificationTest, SignatureFilesThatAreNotOneSignedDerStructureAreRejected) {
  struct Case {
    const char* sig;
    std::string error;
  } cases[] = {
      {"sig-good.pem", "Error reading PKCS7 code signature"},
      {"data.bin", "Error reading PKCS7 code signature"},
      {"sig-not-signed.der", kNoSigner},
      {"sig-no-cert.der", kNoSigner},
      {"sig-short-by-one.der", "Error reading PKCS7 code signature"},
      {"sig-half.der", "Error reading PKCS7 code signature"},
  };
  for (const Case& c : cases) {
    LogCapture log;
    const Verdict v = run(pki("data.bin"), pki(c.sig));
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Detached signature validation failed"})
        << c.sig;
    EXPECT_EQ(v.count, 1) << c.sig;
    EXPECT_FALSE(v.valid) << c.sig;
    EXPECT_EQ(lastError_, c.error) << c.sig;
  }
}

TEST_F(SignatureVerificationTest, SignerNamesAndUsageMustMatchExactly) {
  struct Case {
    const char* sig;
    std::string error;
  } cases[] = {
      {"sig-other-ou.der", kNameMismatch}, {"sig-two-ou-second.der", kNameMismatch},
      {"sig-cn-case.der", kNameMismatch},  {"sig-cn-blank.der", kNameMismatch},
      {"sig-eku-prefix.der", kNoOid},      {"sig-no-eku.der", kNoOid},
      {"sig-oid-in-policy.der", kNoOid},
  };
  for (const Case& c : cases) {
    const Verdict v = run(pki("data.bin"), pki(c.sig));
    EXPECT_FALSE(v.valid) << c.sig;
    EXPECT_EQ(lastError_, c.error) << c.sig;
  }
  // The checks read the signer as carried, before any chain is built.
  EXPECT_EQ(sk_X509_num(certChain()), 0);
}

TEST_F(SignatureVerificationTest, MissingFilesAreNamedInTheError) {
  EXPECT_FALSE(run(pki("data.bin"), pki("absent.der")).valid);
  EXPECT_EQ(lastError_, "Unable to read signature " + pki("absent.der"));
  EXPECT_FALSE(run(pki("absent.bin"), pki("sig-good.der")).valid);
  EXPECT_EQ(lastError_, "Unable to read data " + pki("absent.bin"));
}

// Every chain an attacker can assemble from public certificates, with the signer's own names
// and usage right, fails on the chain and says why in the library's words.
TEST_F(SignatureVerificationTest, ChainErrorsCarryTheLibraryText) {
  struct Case {
    const char* sig;
    int error;
  } cases[] = {
      {"sig-expired.der", X509_V_ERR_CERT_HAS_EXPIRED},
      {"sig-foreign.der", X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN},
      {"sig-under-sub-ca.der", X509_V_ERR_PATH_LENGTH_EXCEEDED},
      {"sig-under-leaf.der", X509_V_ERR_INVALID_CA},
      {"sig-under-shadow-root.der", X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN},
      {"sig-under-shadow-intermediate.der", X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY},
      {"sig-foreign-then-good.der", X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY},
      {"sig-good-then-foreign.der", X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY},
  };
  for (const Case& c : cases) {
    LogCapture log;
    EXPECT_FALSE(run(pki("data.bin"), pki(c.sig)).valid) << c.sig;
    EXPECT_EQ(lastError_, std::string("Error verifying code signature. ") +
                              X509_verify_cert_error_string(c.error))
        << c.sig;
    EXPECT_EQ(callbackErrorNumber(), c.error) << c.sig;
    EXPECT_EQ(log.lines(), std::vector<std::string>{"Detached signature validation failed"})
        << c.sig;
  }
}

// In a fresh process no chain error has been recorded, so the message has nothing after
// its prefix. The death-test child is a new execution of this binary, not a fork.
TEST_F(SignatureVerificationTest, ChangedDataInAFreshProcessHasTheBareMessage) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        const Verdict v = run(pki("data-tampered.bin"), pki("sig-good.der"));
        const bool ok =
            v.count == 1 && !v.valid && lastError_ == "Error verifying code signature. ";
        std::fprintf(stderr, "error=[%s]\n", lastError_.c_str());
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "error=\\[Error verifying code signature. \\]");
}

// Every verification starts afresh: an earlier chain error is not reported for a later
// signature that only fails to match its data, and captured chains never pile up.
TEST_F(SignatureVerificationTest, EachVerificationHasItsOwnChainAndError) {
  EXPECT_FALSE(run(pki("data.bin"), pki("sig-foreign.der")).valid);
  EXPECT_FALSE(run(pki("data-tampered.bin"), pki("sig-good.der")).valid);
  EXPECT_EQ(lastError_, "Error verifying code signature. ");
  EXPECT_EQ(callbackErrorNumber(), 0);
  EXPECT_TRUE(run(pki("data.bin"), pki("sig-good.der")).valid);
  EXPECT_TRUE(run(pki("data.bin"), pki("sig-nodp.der")).valid);
  ASSERT_EQ(sk_X509_num(certChain()), 2);
  EXPECT_EQ(subjectCn(sk_X509_value(certChain(), 1)), "Halvex Orvel");
}

TEST_F(SignatureVerificationTest, ExtensionsAreReadDecoded) {
  X509Ptr good = loadCert("signer-good.pem");
  X509Ptr root = loadCert("root.pem");
  X509Ptr dup = loadCert("signer-dup-dp.pem");
  ASSERT_TRUE(good && root && dup);
  EXPECT_EQ(SignatureVerification::extractX509v3Data(good.get(), NID_ext_key_usage),
            (std::vector<std::string>{"1.3.6.1.5.5.7.3.3", "1.2.840.774420.1.1.12"}));
  EXPECT_EQ(SignatureVerification::extractX509v3Data(good.get(), NID_crl_distribution_points),
            std::vector<std::string>{"http://crl.halvex.example/intermediate.crl"});
  // The root names its distribution point only as a directory name: no URL.
  EXPECT_EQ(SignatureVerification::extractX509v3Data(root.get(), NID_crl_distribution_points),
            std::vector<std::string>{});
  EXPECT_EQ(SignatureVerification::extractX509v3Data(root.get(), NID_ext_key_usage), std::nullopt);
  EXPECT_EQ(SignatureVerification::extractX509v3Data(good.get(), NID_key_usage), std::nullopt);
  EXPECT_FALSE(SignatureVerification::containsX509v3Data(good.get(), "1.2.840.774420.1.1",
                                                         NID_ext_key_usage));

  X509StackPtr chain(sk_X509_new_null());
  for (X509* c : {root.get(), good.get(), dup.get()}) {
    X509_up_ref(c);
    sk_X509_push(chain.get(), c);
  }
  EXPECT_EQ(SignatureVerification::collectCrlUrls(chain.get()),
            std::vector<std::string>{"http://crl.halvex.example/intermediate.crl"});
}

TEST_F(SignatureVerificationTest, NameEntriesCompareWholeValues) {
  X509_NAME* name = X509_NAME_new();
  std::unique_ptr<X509_NAME, decltype(&X509_NAME_free)> owner(name, X509_NAME_free);
  const unsigned char hidden[] = {'H', 'a', 'l', 'v', 'e', 'x', ' ',
                                  'O', 'r', 'v', 'e', 'l', 0,   'x'};
  ASSERT_EQ(X509_NAME_add_entry_by_NID(name, NID_commonName, V_ASN1_UTF8STRING, hidden,
                                       sizeof hidden, -1, 0),
            1);
  ASSERT_EQ(
      X509_NAME_add_entry_by_NID(name, NID_commonName, MBSTRING_UTF8,
                                 reinterpret_cast<const unsigned char*>("Halvex Orvel"), -1, -1, 0),
      1);
  // Only the first entry counts, and a NUL inside it does not make it a match.
  EXPECT_FALSE(SignatureVerification::verifySignerName(name, "Halvex Orvel", NID_commonName));
  EXPECT_FALSE(SignatureVerification::verifySignerName(name, "US", NID_countryName));
}

TEST_F(SignatureVerificationTest, TheEmbeddedRootIsTheOnlyTrustedCertificate) {
  X509Ptr root = SignatureVerification::getHalvexRoot();
  ASSERT_TRUE(root);
  X509Ptr expected = loadCert("root.pem");
  EXPECT_EQ(X509_cmp(root.get(), expected.get()), 0);
  X509StackPtr trusted = SignatureVerification::getTrustedCerts();
  ASSERT_TRUE(trusted);
  EXPECT_EQ(sk_X509_num(trusted.get()), 1);
}

TEST_F(SignatureVerificationTest, TheFirstErrorIsKept) {
  SignatureVerification verifier(center_, queue_);
  verifier.setErrorString("");
  verifier.setErrorString("first");
  verifier.setErrorString("second");
  verifier.setErrorString("");
  EXPECT_EQ(verifier.errorString(), "first");
}

TEST_F(SignatureVerificationTest, SignerCertificateCheckIsTheOneReadPkcs7Applies) {
  const std::pair<const char*, std::string> cases[] = {
      {"signer-good.pem", ""},
      {"signer-two-ou.pem", ""},
      {"signer-other-ou.pem", kNameMismatch},
      {"signer-cn-blank.pem", kNameMismatch},
      {"signer-no-eku.pem", kNoOid},
      {"signer-eku-prefix.pem", kNoOid},
  };
  for (const auto& [cert, message] : cases) {
    X509Ptr loaded = loadCert(cert);
    ASSERT_TRUE(loaded) << cert;
    EXPECT_EQ(SignatureVerification::checkSignerCertificate(loaded.get()), message) << cert;
  }
}

// Tools watch the accepted chain, and hand lists in without a downloader.
TEST_F(SignatureVerificationTest, TheChainObserverSeesTheAcceptedChainBeforeTheRevocationPass) {
  struct Case {
    const char* sig;
    const char* crl;
    int observedCerts;  // -1: never called
    bool valid;
  } cases[] = {
      {"sig-good.der", "crl-intermediate.der", 3, true},
      {"sig-revoked.der", "crl-intermediate.der", 3, false},
      {"sig-no-eku.der", "crl-intermediate.der", -1, false},
  };
  for (const Case& c : cases) {
    SignatureVerification verifier(center_, queue_);
    verifier.setCrlPaths(std::make_shared<std::vector<std::string>>(1, pki(c.crl)));
    int observed = -1;
    std::string signerCn;
    verifier.setChainObserver([&](STACK_OF(X509) * chain) {
      observed = sk_X509_num(chain);
      signerCn = subjectCn(sk_X509_value(chain, observed - 1));
    });
    EXPECT_EQ(run(verifier, pki("data.bin"), pki(c.sig)).valid, c.valid) << c.sig;
    EXPECT_EQ(observed, c.observedCerts) << c.sig;
    if (observed > 0) {
      EXPECT_EQ(signerCn, "Halvex Orvel") << c.sig;
    }
  }
}

// The revocation pass on a chain captured by a real first pass.
class RevocationTest : public SignatureVerificationTest {
 protected:
  // Runs the first pass's checks for sig over data.bin, leaving its chain captured.
  void captureChain(SignatureVerification& verifier, const std::string& sig) {
    verifier.setDataPath(pki("data.bin"));
    verifier.setSignaturePath(pki(sig));
    Pkcs7Ptr p7 = verifier.readPkcs7();
    ASSERT_TRUE(p7);
    ASSERT_TRUE(verifier.verifyDetachedSignature(p7.get()));
  }

  struct Outcome {
    bool notRevoked;
    std::string error;
    std::vector<std::string> log;
  };
  Outcome check(const std::string& sig, const std::vector<std::string>& crls) {
    SignatureVerification verifier(center_, queue_);
    captureChain(verifier, sig);
    auto paths = std::make_shared<std::vector<std::string>>();
    for (const auto& c : crls) paths->push_back(c.find('/') == std::string::npos ? pki(c) : c);
    verifier.setCrlPaths(paths);
    LogCapture log;
    const bool result = verifier.checkCertsAgainstCrls();
    return {result, verifier.errorString(), log.lines()};
  }

  const std::vector<std::string> kPassLog{"Begin cert chain validation",
                                          "Cert chain validation succeeded"};
  const std::vector<std::string> kRevokedLog{"Begin cert chain validation", "Cert revocation found",
                                             "Cert chain validation failed"};
  const std::string kRevokedText = X509_verify_cert_error_string(X509_V_ERR_CERT_REVOKED);
};

TEST_F(RevocationTest, ACurrentListNamingTheSignerRevokesIt) {
  for (const char* crl :
       {"crl-intermediate.der", "crl-intermediate.pem", "crl-two-revoked-first.pem"}) {
    const Outcome o = check("sig-revoked.der", {"crl-root.der", crl});
    EXPECT_FALSE(o.notRevoked) << crl;
    EXPECT_EQ(o.error, kRevokedText) << crl;
    EXPECT_EQ(o.log, kRevokedLog) << crl;
    // Past the loading, the captured chain is given up for a fresh empty one.
    EXPECT_EQ(sk_X509_num(certChain()), 0) << crl;
  }
}

TEST_F(RevocationTest, ListsThatCannotApplyLetTheCheckPass) {
  const std::vector<std::vector<std::string>> cases = {
      {"crl-intermediate-expired.der"},
      {"crl-intermediate-badsig.der"},
      {"crl-foreign.der"},
      // Only the first list of a file counts; this one predates the revocation.
      {"crl-two-before-first.pem"},
      {"crl-not-a-crl.html", pki("absent.crl")},
  };
  for (const auto& crls : cases) {
    const Outcome o = check("sig-revoked.der", crls);
    EXPECT_TRUE(o.notRevoked) << crls[0];
    EXPECT_EQ(o.error, "") << crls[0];
    EXPECT_EQ(o.log, kPassLog) << crls[0];
  }
}

TEST_F(RevocationTest, UnreadableFilesAreSkippedAndTheRestApply) {
  const Outcome o =
      check("sig-revoked.der", {"crl-not-a-crl.html", pki("absent.crl"), "crl-intermediate.der"});
  EXPECT_FALSE(o.notRevoked);
  EXPECT_EQ(o.log, kRevokedLog);
}

TEST_F(RevocationTest, AGoodChainPassesEveryList) {
  const Outcome o = check("sig-good.der", {"crl-intermediate.der", "crl-root.der"});
  EXPECT_TRUE(o.notRevoked);
  EXPECT_EQ(o.log, kPassLog);
}

TEST_F(RevocationTest, WithoutListsNothingIsCheckedOrLogged) {
  SignatureVerification verifier(center_, queue_);
  captureChain(verifier, "sig-revoked.der");
  verifier.setCrlPaths(std::make_shared<std::vector<std::string>>());
  LogCapture log;
  EXPECT_TRUE(verifier.checkCertsAgainstCrls());
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(sk_X509_num(certChain()), 3);
}

TEST_F(RevocationTest, AChainWithoutUrlsIsValidWithoutDownloadAfterTheCallReturns) {
  SignatureVerification verifier(center_, queue_);
  LogCapture log;
  const Verdict v = run(verifier, pki("data.bin"), pki("sig-nodp.der"));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"Detached signature verified"});
  EXPECT_EQ(v.count, 1);
  EXPECT_TRUE(v.valid);
  EXPECT_FALSE(v.deliveredDuringCall);
  EXPECT_TRUE(verifier.startedFetchingCrls());
  EXPECT_EQ(verifier.crlPaths(), nullptr);
}

TEST_F(RevocationTest, ADoneNotificationThatIsNoAnswerIsIgnored) {
  auto files = std::make_shared<std::vector<std::string>>(1, pki("crl-intermediate.der"));
  platform::Notification done{
      download::kCrlDownloadDone,
      nullptr,
      {{download::kDownloaderKeySuccess, true}, {download::kDownloaderKeyFiles, PathList(files)}}};
  int verdicts = 0;
  int tag = 0;
  center_.addObserver(&tag, kSignatureVerifyDone,
                      [&](const platform::Notification&) { ++verdicts; });
  {
    SignatureVerification verifier(center_, queue_);
    // Before the verification started: nothing to answer.
    center_.post(done);
    platform::runMainLoopUntil([&] { return queue_.pending() == 0; }, 500);
    EXPECT_EQ(verdicts, 0);
    EXPECT_EQ(verifier.crlPaths(), nullptr);
    // After the verdict: a late run of someone else's download posts no second one.
    run(verifier, pki("data.bin"), pki("sig-revoked.der"));
    ASSERT_EQ(verdicts, 1);
    center_.post(done);
    platform::runMainLoopUntil([&] { return queue_.pending() == 0; }, 500);
    EXPECT_EQ(verdicts, 1);
  }
  // A destroyed verifier is no longer an observer.
  center_.post(done);
  platform::runMainLoopUntil([&] { return queue_.pending() == 0; }, 500);
  EXPECT_EQ(verdicts, 1);
  center_.removeObserver(&tag);
}

// The whole road with the real Downloader: the chain's CRL URLs go through http_proxy to a
// local server that plays crl.halvex.example.
class CrlDownloadTest : public SignatureVerificationTest {
 protected:
  void SetUp() override {
    SignatureVerificationTest::SetUp();
    server_ = std::make_unique<platform::testing::LocalHttpServer>();
    savedProxy_ = std::getenv("http_proxy") ? std::getenv("http_proxy") : "";
    setenv("http_proxy", server_->url("").c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    downloader_ = std::make_shared<download::Downloader>(queue_, presenter_);
    downloader_->setSilent(true);
  }
  void TearDown() override {
    downloader_->cleanupTempFiles();
    if (savedProxy_.empty()) {
      unsetenv("http_proxy");
    } else {
      setenv("http_proxy", savedProxy_.c_str(), 1);
    }
  }

  void serveCrls(const std::string& intermediateCrl) {
    server_->addFile("root.crl", readFile(pki("crl-root.der")));
    server_->addFile("intermediate.crl", readFile(pki(intermediateCrl)));
  }

  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  struct Result {
    Verdict verdict;
    std::string error;
    std::vector<std::string> log;
  };
  Result verifyWithDownloads(const std::string& sig,
                             const std::function<void(SignatureVerification&)>& afterCall = {}) {
    SignatureVerification verifier(center_, queue_);
    verifier.setDownloader(downloader_);
    LogCapture log;
    Verdict v;
    int tag = 0;
    center_.addObserver(&tag, kSignatureVerifyDone, [&](const platform::Notification& n) {
      ++v.count;
      v.fromVerifier = n.object == &verifier;
      v.valid = std::any_cast<bool>(n.userInfo.at(kSignatureKeyIsValid));
      v.cancelled = std::any_cast<bool>(n.userInfo.at(kSignatureKeyCancelled));
    });
    verifier.verifyDataAtPath(pki("data.bin"), sig);
    v.deliveredDuringCall = v.count != 0;
    if (afterCall) afterCall(verifier);
    platform::runMainLoopUntil([&] { return v.count > 0; }, 20000);
    platform::runMainLoopUntil([&] { return queue_.pending() == 0; }, 1000);
    center_.removeObserver(&tag);
    return {v, verifier.errorString(), log.lines()};
  }

  // The lines the revocation pass writes, without the downloader's own.
  static std::vector<std::string> verdictLines(const std::vector<std::string>& log) {
    std::vector<std::string> out;
    for (const auto& line : log) {
      if (line.rfind("Begin crl download", 0) == 0 || line.rfind("Download", 0) == 0) continue;
      out.push_back(line);
    }
    return out;
  }

  ui::testing::RecordingPresenter presenter_;
  std::unique_ptr<platform::testing::LocalHttpServer> server_;
  std::shared_ptr<download::Downloader> downloader_;
  std::string savedProxy_;
};

TEST_F(CrlDownloadTest, ARevokedSignerIsRejectedAfterTheDownload) {
  serveCrls("crl-intermediate.der");
  const Result r = verifyWithDownloads(pki("sig-revoked.der"));
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_FALSE(r.verdict.valid);
  EXPECT_TRUE(r.verdict.fromVerifier);
  EXPECT_FALSE(r.verdict.deliveredDuringCall);
  EXPECT_EQ(r.error, X509_verify_cert_error_string(X509_V_ERR_CERT_REVOKED));
  EXPECT_EQ(verdictLines(r.log),
            (std::vector<std::string>{"Begin cert chain validation", "Cert revocation found",
                                      "Cert chain validation failed", "Cert revocation found"}));
  // Both distribution points were fetched, each once.
  auto requests = server_->requests();
  std::sort(requests.begin(), requests.end());
  EXPECT_EQ(requests, (std::vector<std::string>{"GET /intermediate.crl", "GET /root.crl"}));
}

TEST_F(CrlDownloadTest, AChainWithoutUrlsDownloadsNothing) {
  const Result r = verifyWithDownloads(pki("sig-nodp.der"));
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_TRUE(r.verdict.valid);
  EXPECT_FALSE(r.verdict.deliveredDuringCall);
  EXPECT_EQ(r.log, std::vector<std::string>{"Detached signature verified"});
  EXPECT_TRUE(server_->requests().empty());
}

TEST_F(CrlDownloadTest, AnExpiredListLetsTheSignaturePass) {
  serveCrls("crl-intermediate-expired.der");
  const Result r = verifyWithDownloads(pki("sig-revoked.der"));
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_TRUE(r.verdict.valid);
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(verdictLines(r.log), (std::vector<std::string>{"Begin cert chain validation",
                                                           "Cert chain validation succeeded",
                                                           "Detached signature verified"}));
}

TEST_F(CrlDownloadTest, AUrlNamedTwiceIsFetchedOnce) {
  serveCrls("crl-intermediate.der");
  const Result r = verifyWithDownloads(pki("sig-dup-dp.der"));
  EXPECT_TRUE(r.verdict.valid);
  const auto requests = server_->requests();
  EXPECT_EQ(std::count(requests.begin(), requests.end(), "GET /intermediate.crl"), 1);
}

TEST_F(CrlDownloadTest, FailedDownloadsLetTheSignaturePass) {
  server_->setRoutes(R"({"/intermediate.crl": {"status": 404}, "/root.crl": {"status": 500}})");
  const Result r = verifyWithDownloads(pki("sig-revoked.der"));
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_TRUE(r.verdict.valid);
  EXPECT_EQ(r.error, "");
  // No file came: no list is applied and the chain check is not even begun.
  EXPECT_EQ(verdictLines(r.log), std::vector<std::string>{"Detached signature verified"});
  EXPECT_EQ(server_->requests().size(), 2u);
}

// The person's Cancel stops the install: unlike a failed download it never passes open.
TEST_F(CrlDownloadTest, ACancelledDownloadEndsWithACancelledVerdictThatIsNotValid) {
  server_->setRoutes(
      R"({"/intermediate.crl": {"bytes": 100000, "fault": "stall", "after": 10},
          "/root.crl": {"bytes": 100000, "fault": "stall", "after": 10}})");
  const Result r = verifyWithDownloads(pki("sig-revoked.der"), [this](SignatureVerification&) {
    platform::runMainLoopUntil([this] { return !server_->requests().empty(); }, 10000);
    downloader_->stopDownLoad();
  });
  EXPECT_NE(std::find(r.log.begin(), r.log.end(), "Download cancelled"), r.log.end());
  EXPECT_EQ(verdictLines(r.log), std::vector<std::string>{});
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_FALSE(r.verdict.valid);
  EXPECT_TRUE(r.verdict.cancelled);
}

TEST_F(CrlDownloadTest, ASignatureDeletedBetweenThePassesIsRejected) {
  serveCrls("crl-intermediate.der");
  const std::string copy = server_->root() + "/../signature-copy.der";
  std::filesystem::copy_file(pki("sig-good.der"), copy);
  const Result r = verifyWithDownloads(copy, [&](SignatureVerification& verifier) {
    ASSERT_TRUE(verifier.startedFetchingCrls());
    std::filesystem::remove(copy);
  });
  EXPECT_EQ(r.verdict.count, 1);
  EXPECT_FALSE(r.verdict.valid);
  EXPECT_EQ(r.error, "Unable to read signature " + copy);
  EXPECT_EQ(verdictLines(r.log), std::vector<std::string>{"Detached signature validation failed"});
}

}  // namespace
}  // namespace signature
