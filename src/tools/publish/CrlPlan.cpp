#include "tools/publish/CrlPlan.h"

#include <openssl/err.h>
#include <openssl/x509v3.h>

#include <algorithm>
#include <set>

#include "signature/RevocationCheck.h"
#include "signature/SignatureCheck.h"

namespace tools {
namespace {

struct LoadedCrl {
  std::string file;
  signature::CrlPtr crl;
};

X509* issuerIn(const std::vector<signature::X509Ptr>& chain, X509* cert) {
  for (const auto& candidate : chain) {
    if (X509_check_issued(candidate.get(), cert) == X509_V_OK) return candidate.get();
  }
  return nullptr;
}

bool issuedBy(X509_CRL* crl, X509* issuer) {
  const bool matches =
      X509_NAME_cmp(X509_CRL_get_issuer(crl), X509_get_subject_name(issuer)) == 0 &&
      X509_CRL_verify(crl, X509_get0_pubkey(issuer)) == 1;
  ERR_clear_error();
  return matches;
}

/// The files among crls whose list issuer signed; an error when more than one does.
std::vector<std::string> listsOf(const std::vector<LoadedCrl>& crls, X509* issuer) {
  std::vector<std::string> files;
  for (const LoadedCrl& loaded : crls) {
    if (issuer != nullptr && issuedBy(loaded.crl.get(), issuer)) files.push_back(loaded.file);
  }
  return files;
}

void place(CrlPlan& plan, const std::string& url, const std::vector<std::string>& files) {
  auto same = std::find_if(plan.placements.begin(), plan.placements.end(),
                           [&](const CrlPlacement& p) { return p.url == url; });
  if (files.size() > 1) {
    plan.error = "two revocation lists for " + url + ": " + files[0] + " and " + files[1];
  } else if (files.empty()) {
    if (std::find(plan.unanswered.begin(), plan.unanswered.end(), url) == plan.unanswered.end()) {
      plan.unanswered.push_back(url);
    }
  } else if (same == plan.placements.end()) {
    plan.placements.push_back({url, files[0]});
  } else if (same->file != files[0]) {
    plan.error = "two revocation lists for " + url + ": " + same->file + " and " + files[0];
  }
}

}  // namespace

CrlPlan planCrls(const std::vector<signature::X509Ptr>& chain,
                 const std::vector<std::string>& crlFiles) {
  CrlPlan plan;
  std::vector<LoadedCrl> crls;
  for (const std::string& file : crlFiles) {
    const auto seen = [&](const LoadedCrl& c) { return c.file == file; };
    if (std::any_of(crls.begin(), crls.end(), seen)) continue;
    signature::CrlPtr crl = signature::readCrlFromPath(file);
    if (!crl) {
      plan.error = "not a revocation list: " + file;
      return plan;
    }
    crls.push_back({file, std::move(crl)});
  }
  for (const auto& cert : chain) {
    const auto urls = signature::extractX509v3Data(cert.get(), NID_crl_distribution_points);
    if (!urls) continue;
    const std::vector<std::string> files = listsOf(crls, issuerIn(chain, cert.get()));
    for (const std::string& url : *urls) {
      place(plan, url, files);
      if (!plan.error.empty()) return plan;
    }
  }
  std::set<std::string> used;
  for (const CrlPlacement& p : plan.placements) used.insert(p.file);
  for (const LoadedCrl& loaded : crls) {
    if (!used.count(loaded.file)) {
      plan.error = loaded.file + " answers no distribution point of the signer chain";
      return plan;
    }
  }
  return plan;
}

}  // namespace tools
