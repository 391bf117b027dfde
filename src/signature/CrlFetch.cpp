// The verifier's one use of the download subsystem, kept out of SignatureVerification.cpp
// so that the checks link without it (fuzz targets, tests of the cryptography alone).

#include <ctime>

#include "download/Downloader.h"
#include "signature/CarriedCrl.h"
#include "signature/SignatureVerification.h"

namespace signature {

void SignatureVerification::setDownloader(std::shared_ptr<download::Downloader> downloader) {
  downloader_ = std::move(downloader);
  startCrlDownload_ = nullptr;
  if (!downloader_) return;
  // The run changes nothing else on the downloader: the progress window shows for the
  // CRLs exactly when it showed for the installer.
  download::Downloader* d = downloader_.get();
  startCrlDownload_ = [d](const std::vector<std::string>& urls) {
    d->setUrlStrings(urls);
    d->setLimits({download::kCrlLimits});
    // Lists the bundle carries count as fetched while current; none without a carried tree.
    d->setCarriedFiles(carriedCrls(*d, urls, std::time(nullptr)));
    d->setIgnoreFailures(true);
    d->startDownload(download::kCrlDownloadDone);
  };
}

}  // namespace signature
