#include "download/Downloader.h"

#include <algorithm>

#include "libinstall/InstallLogMsgs.h"
#include "platform/DebugTrace.h"
#include "platform/files/FileSystem.h"
#include "platform/files/TempDir.h"

namespace download {
namespace {

// The percentage first moves once more than this many bytes of a URL have arrived.
constexpr std::int64_t kProgressThresholdBytes = 16384;

bool isGzipType(const std::string& mimeType) {
  return mimeType == "application/gzip" || mimeType == "application/x-gzip";
}

}  // namespace

Downloader::Downloader(platform::NotificationQueue& queue, ui::Presenter& presenter,
                       platform::UrlDownloadOptions transferOptions)
    : queue_(queue), presenter_(presenter), transferOptions_(std::move(transferOptions)) {
  resultPaths_->reserve(10);
  cleanupPaths_.reserve(10);
}

Downloader::~Downloader() = default;

void Downloader::startDownload(const std::string& notificationName) {
  notificationName_ = notificationName;
  cancelled_ = false;
  if (currentUrlIndex_ < 0 || currentUrlIndex_ >= static_cast<int>(urlStrings_.size())) {
    // Nothing (left) to fetch: the caller still gets the run's one notification.
    doingDownload(false);
    sendDoneNotfication(ignoreFailures_);
    return;
  }
  const std::string& url = urlStrings_.at(static_cast<std::size_t>(currentUrlIndex_));
  DebugTrace("Info: URL is %@", url.c_str());
  resetProgress();

  if (notificationName == kInstallerDownloadDone) {
    install::logDownloadBegin(currentUrlIndex_ == 0 ? "runtime" : "signature", url.c_str());
  } else if (notificationName == kCrlDownloadDone) {
    install::logDownloadBegin("crl", url.c_str());
  }

  urlDownload_.reset();
  urlDownload_ = platform::UrlDownload::start(url, *this, optionsForCurrentUrl());
  if (urlDownload_) {
    doingDownload(true);
    return;
  }
  install::logDownloadFailure("could not start download");
  // A URL that cannot even be requested fails like any other, so the run still ends with
  // its one notification and the caller learns why from lastError.
  lastError_ = platform::makeUrlError(platform::kUrlErrorBadURL, url);
  ++currentUrlIndex_;
  continueOrEnd(ignoreFailures_);
}

platform::UrlDownloadOptions Downloader::optionsForCurrentUrl() const {
  platform::UrlDownloadOptions options = transferOptions_;
  if (!limits_.empty()) {
    const auto index = std::min(static_cast<std::size_t>(currentUrlIndex_), limits_.size() - 1);
    options.maxBytes = limits_[index].maxBytes;
    options.attemptLimitSeconds = limits_[index].maxAttemptSeconds;
  }
  return options;
}

void Downloader::stopDownLoad() {
  // Only a run in progress can be cancelled: a late second press must not post a second
  // done notification for a run that has already reported.
  if (!active_) return;
  if (urlDownload_) urlDownload_->cancel();
  doingDownload(false);
  install::logDownloadCancel();
  cancelled_ = true;
  sendDoneNotfication(false);
}

void Downloader::resetProgress() {
  bytesReceived_ = 0;
  rate_.reset();
  transferAmounts_.set({});
  currentProgressPercent_.set(0.0);
}

void Downloader::doingDownload(bool active) {
  active_ = active;
  presenter_.setCancelEnabled(active);
  if (active) {
    if (!silent_) presenter_.showProgress();
    return;
  }
  presenter_.closeProgress();
  resetProgress();
}

void Downloader::didReceiveResponse(platform::UrlDownload&, const platform::UrlResponse& response) {
  resetProgress();
  urlResponse_ = response;
  expectedBytes_ = response.expectedContentLength;
}

void Downloader::didReceiveDataOfLength(platform::UrlDownload&, std::uint32_t length) {
  bytesReceived_ += length;
  rate_.add(length);
  transferAmounts_.set({bytesReceived_, std::max<std::int64_t>(expectedBytes_, 0),
                        rate_.bytesPerSecond(),
                        urlResponse_ ? urlResponse_->suggestedFilename : ""});
  if (expectedBytes_ <= 0) return;
  if (bytesReceived_ <= kProgressThresholdBytes) return;
  currentProgressPercent_.set(static_cast<double>(bytesReceived_) /
                              static_cast<double>(expectedBytes_) * 100.0);
}

void Downloader::didFailWithError(platform::UrlDownload&, const platform::UrlError& error) {
  lastError_ = error;  // copied first: the transfer that owns error is released next
  urlDownload_.reset();
  install::logDownloadFailure(lastError_->localizedDescription.c_str());
  DebugTrace("Error: Download failed.  Error - %@ %@", lastError_->localizedDescription.c_str(),
             lastError_->failingUrlString.c_str());
  ++currentUrlIndex_;
  continueOrEnd(ignoreFailures_);
}

void Downloader::willRetry(platform::UrlDownload&, std::int64_t bytesSoFar, int retry,
                           int maxRetries) {
  install::logDownloadRetry(static_cast<long long>(bytesSoFar), retry, maxRetries);
}

void Downloader::proxyNotUsed(platform::UrlDownload&, const std::string& reason) {
  if (proxyNoticeLogged_) return;
  proxyNoticeLogged_ = true;
  install::logProxyNotUsed(reason.c_str());
}

void Downloader::downloadDidFinish(platform::UrlDownload&) {
  urlDownload_.reset();
  install::logDownloadSuccess();
  if (urlResponse_) {
    DebugTrace("Info: Successfully download %qi bytes of type %@",
               static_cast<long long>(urlResponse_->expectedContentLength),
               urlResponse_->mimeType.c_str());
  }
  ++currentUrlIndex_;
  continueOrEnd(true);
}

void Downloader::continueOrEnd(bool success) {
  // A finished URL always moves on; a failed one only when failures are ignored.
  if (success && currentUrlIndex_ < static_cast<int>(urlStrings_.size())) {
    resetProgress();
    startDownload(notificationName_);
    return;
  }
  doingDownload(false);
  sendDoneNotfication(success);
}

void Downloader::sendDoneNotfication(bool success) {
  cleanupPaths_.insert(cleanupPaths_.end(), resultPaths_->begin(), resultPaths_->end());
  platform::UserInfo info{{kDownloaderKeySuccess, success},
                          {kDownloaderKeyFiles, resultPaths_},
                          {kDownloaderKeyCancelled, cancelled_}};
  queue_.enqueue({notificationName_, this, std::move(info)}, platform::PostingStyle::WhenIdle);
}

void Downloader::cleanupTempFiles() {
  for (const auto& path : cleanupPaths_) platform::removeItem(path);
  cleanupPaths_.clear();
  platform::removeTemporaryDirectory();
}

void Downloader::willSendRequest(platform::UrlDownload&, const std::string& newUrl,
                                 const platform::UrlResponse* redirectResponse) {
  if (redirectResponse != nullptr) DebugTrace("Info: Redirecting to %@", newUrl.c_str());
}

bool Downloader::shouldDecodeSourceDataOfMIMEType(platform::UrlDownload&,
                                                  const std::string& mimeType) {
  const bool decode = isGzipType(mimeType);
  DebugTrace("Info: Asked to decode %@, response %d", mimeType.c_str(), decode ? 1 : 0);
  return decode;
}

void Downloader::decideDestinationWithSuggestedFilename(platform::UrlDownload& download,
                                                        const std::string& filename) {
  // Files go only into the private directory: where none can be made, the empty
  // destination fails the URL as a file that cannot be created.
  const std::string directory = platform::temporaryDirectory();
  if (directory.empty()) return download.setDestination({}, false);
  const std::string path = platform::appendPathComponent(directory, filename);
  install::logDownloadDest(path.c_str());
  download.setDestination(path, false);
}

void Downloader::didCreateDestination(platform::UrlDownload&, const std::string& path) {
  DebugTrace("Info: Downloading to %@", path.c_str());
  resultPaths_->push_back(path);
}

void Downloader::setUrlStrings(std::vector<std::string> urls) {
  urlStrings_ = std::move(urls);
  limits_.clear();
  currentUrlIndex_ = 0;
  // Emptied in place: the list handed out with the last notification is this one.
  resultPaths_->clear();
}

}  // namespace download
