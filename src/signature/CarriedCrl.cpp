#include "signature/CarriedCrl.h"

#include <openssl/err.h>

#include "signature/RevocationCheck.h"

namespace signature {

std::optional<download::CarriedFile> carriedCrlUse(const std::string& path, std::time_t now) {
  const CrlPtr crl = readCrlFromPath(path);
  if (!crl) return std::nullopt;
  const ASN1_TIME* nextUpdate = X509_CRL_get0_nextUpdate(crl.get());
  // 1: the next update is after now. A list without one never counts as current here,
  // although the revocation pass would accept it: asking its issuer costs little.
  const bool current = nextUpdate != nullptr && X509_cmp_time(nextUpdate, &now) == 1;
  ERR_clear_error();
  return download::CarriedFile{path, !current};
}

std::vector<std::optional<download::CarriedFile>> carriedCrls(
    const download::Downloader& downloader, const std::vector<std::string>& urls, std::time_t now) {
  std::vector<std::optional<download::CarriedFile>> uses;
  for (const std::string& url : urls) {
    const auto file = downloader.carriedFileFor(url);
    uses.push_back(file ? carriedCrlUse(*file, now) : std::nullopt);
  }
  return uses;
}

}  // namespace signature
