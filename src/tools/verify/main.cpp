// naib-verify FILE SIGNATURE [--crl PATH]...: the program's own signature verification,
// run by hand. A publisher runs it before uploading; support staff run it on a user's
// download. Exit status 0 accepted, 13 rejected, 2 refused command line, 130 interrupted.

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "naib/NAIB.h"
#include "signature/RevocationCheck.h"
#include "signature/SignatureCheck.h"
#include "tools/common/CertificateText.h"
#include "tools/common/ToolCli.h"
#include "tools/common/Verification.h"
#include "tools/verify/FetchingVerification.h"

namespace {

constexpr char kTool[] = "naib-verify";
constexpr int kExitInterrupted = 130;
constexpr char kUsage[] =
    "Usage: naib-verify FILE SIGNATURE [--crl PATH]...\n"
    "Checks FILE against its detached DER PKCS#7 SIGNATURE exactly as naib-bootstrapper\n"
    "does: the embedded root, the signer's subject and usage, the chain, and the chain's\n"
    "revocation lists, fetched from their distribution points unless --crl is given.\n"
    "  --crl PATH  revocation lists from PATH (a file, or every file of a folder) instead\n"
    "              of fetching them; may be repeated\n"
    "Exit status: 0 accepted, 13 rejected, 2 refused command line, 130 interrupted.\n";

// The files --crl names: a file itself, or the regular files of a folder in name order.
bool collectCrlFiles(const std::vector<std::string>& paths, std::vector<std::string>& files,
                     std::string& error) {
  for (const std::string& path : paths) {
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) {
      error = tools::inputFileProblem(path, "revocation list file or folder");
      if (!error.empty()) return false;
      files.push_back(path);
      continue;
    }
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(path, ec)) {
      if (entry.is_regular_file(ec)) found.push_back(entry.path().string());
    }
    if (ec) {
      error = "cannot read the folder " + tools::printable(path) + ": " + ec.message();
      return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return true;
}

void printCertificate(const char* role, X509* cert) {
  std::cout << "  " << role << ": " << tools::subjectLine(cert) << "\n"
            << "      issuer " << tools::issuerLine(cert) << "\n"
            << "      serial " << tools::serialLine(cert) << ", valid " << tools::validityLine(cert)
            << "\n";
  const auto points = signature::extractX509v3Data(cert, NID_crl_distribution_points);
  for (const std::string& url : points.value_or(std::vector<std::string>())) {
    std::cout << "      revocation list " << tools::printable(url) << "\n";
  }
}

void printChain(const tools::VerificationReport& report, const std::string& signaturePath) {
  if (report.chain.empty()) {
    // No chain was accepted; show what the signature claims, so the reason can be seen.
    if (signature::X509Ptr signer = tools::carriedSignerCertificate(signaturePath)) {
      std::cout << "Signer as carried in the signature (not verified):\n";
      printCertificate("signer", signer.get());
    }
    return;
  }
  std::cout << "Chain (signer first):\n";
  const std::size_t n = report.chain.size();
  for (std::size_t i = n; i-- > 0;) {
    const char* role = i == n - 1 ? "signer" : i == 0 ? "root" : "intermediate";
    printCertificate(role, report.chain[i].get());
  }
}

void printRevocation(const tools::VerificationReport& report, bool fetched) {
  if (report.chain.empty()) return;
  if (fetched) {
    std::cout << "Revocation lists: " << report.crlFiles.size() << " of " << report.crlUrls.size()
              << " fetched\n";
    if (report.fetchError) std::cout << "  not fetched: " << *report.fetchError << "\n";
  } else {
    std::cout << "Revocation lists: " << report.crlFiles.size() << " file(s) given\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (auto answered = tools::answerInfoOptions(kTool, args, kUsage)) return *answered;
  std::string error;
  auto line = tools::parseCommandLine(args, {{"--crl", true}}, error);
  if (!line) return tools::refuse(kTool, error + " (see --help)");
  if (line->positionals.size() != 2) {
    return tools::refuse(kTool, "expected FILE and SIGNATURE (see --help)");
  }
  const std::string& data = line->positionals[0];
  const std::string& signaturePath = line->positionals[1];
  for (const std::string& path : {data, signaturePath}) {
    if (std::string problem = tools::inputFileProblem(path); !problem.empty()) {
      return tools::refuse(kTool, problem);
    }
  }
  std::optional<std::vector<std::string>> crlFiles;
  if (line->has("--crl")) {
    crlFiles.emplace();
    if (!collectCrlFiles(line->values("--crl"), *crlFiles, error)) {
      return tools::refuse(kTool, error);
    }
    for (const std::string& file : *crlFiles) {
      // The verifier skips these silently, as the program does; a person should know.
      if (!signature::readCrlFromPath(file)) {
        std::cerr << kTool << ": warning: not a revocation list, skipped: " << file << "\n";
      }
    }
  }

  const tools::VerificationReport report =
      crlFiles ? tools::verifyWithLists(data, signaturePath, *crlFiles)
               : tools::verifyFetchingLists(data, signaturePath);
  if (report.interrupted) {
    std::cerr << kTool << ": interrupted\n";
    return kExitInterrupted;
  }
  printChain(report, signaturePath);
  printRevocation(report, !crlFiles);
  if (report.accepted) {
    std::cout << "Verdict: accepted\n";
    return tools::kExitOk;
  }
  std::cout << "Verdict: rejected: " << report.error << "\n";
  return naib::NAIB_SIGNATURE_INVALID;
}
