#include "download/Downloader.h"

#include <algorithm>

#include "libinstall/InstallLogMsgs.h"
#include "platform/DebugTrace.h"
#include "platform/files/FileSystem.h"
#include "platform/files/TempDir.h"
#include "platform/url/TreePath.h"

namespace download {
namespace {

// The percentage first moves once more than this many bytes of a URL have arrived.
constexpr std::int64_t kProgressThresholdBytes = 16384;

bool isGzipType(const std::string& mimeType) {
  return mimeType == "application/gzip" || mimeType == "application/x-gzip";
}

// The words of the carried-file line for the run's kind and URL; none for a run of another
// name, which logs no download lines either.
const char* carriedWhat(const std::string& notificationName, int urlIndex) {
  if (notificationName == kInstallerDownloadDone)
    return urlIndex == 0 ? "runtime installer" : "signature";
  if (notificationName == kCrlDownloadDone) return "revocation list";
  return nullptr;
}

}  // namespace

platform::Notification downloadDoneNotification(const std::string& name, const void* sender,
                                                DownloadDone done) {
  return {name,
          sender,
          {{kDownloaderKeySuccess, done.success},
           {kDownloaderKeyFiles, std::move(done.files)},
           {kDownloaderKeyCancelled, done.cancelled}}};
}

DownloadDone downloadDoneOf(const platform::Notification& n) {
  return {platform::userInfoValue<bool>(n, kDownloaderKeySuccess),
          platform::userInfoValue<PathList>(n, kDownloaderKeyFiles),
          platform::userInfoValue<bool>(n, kDownloaderKeyCancelled)};
}

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
  if (const CarriedFile* carried = carriedForCurrentUrl(false)) return startCarriedCopy(*carried);

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
  if (const CarriedFile* carried = carriedForCurrentUrl(true)) return startCarriedCopy(*carried);
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
  options.privateDestination = privateDestinationForCurrentUrl();
  return options;
}

int Downloader::privateDestinationForCurrentUrl() const {
  const auto index = static_cast<std::size_t>(currentUrlIndex_);
  return index < privateDestinations_.size() ? privateDestinations_[index] : -1;
}

void Downloader::stopDownLoad() {
  // Only a run in progress can be cancelled: a late second press must not post a second
  // done notification for a run that has already reported.
  if (!active_) return;
  if (urlDownload_) urlDownload_->cancel();
  copy_.reset();
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
  addReceived(length);
}

void Downloader::addReceived(std::int64_t length) {
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
  if (const CarriedFile* carried = carriedForCurrentUrl(true)) return startCarriedCopy(*carried);
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
  queue_.enqueue(
      downloadDoneNotification(notificationName_, this, {success, resultPaths_, cancelled_}),
      platform::PostingStyle::WhenIdle);
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
  carried_.clear();
  privateDestinations_.clear();
  currentUrlIndex_ = 0;
  // Emptied in place: the list handed out with the last notification is this one.
  resultPaths_->clear();
}

std::optional<std::string> carriedFileIn(const std::string& folder, const std::string& url) {
  if (folder.empty()) return std::nullopt;
  std::string why;
  const auto relative = platform::treePathForUrl(url, why);
  if (!relative) return std::nullopt;
  std::string path = platform::appendPathComponent(folder, *relative);
  if (!platform::isRegularFile(path)) return std::nullopt;
  return path;
}

const CarriedFile* Downloader::carriedForCurrentUrl(bool fetchFailed) const {
  const auto index = static_cast<std::size_t>(currentUrlIndex_);
  if (index >= carried_.size() || !carried_[index]) return nullptr;
  return carried_[index]->onlyWhenFetchFails == fetchFailed ? &*carried_[index] : nullptr;
}

void Downloader::startCarriedCopy(const CarriedFile& file) {
  if (const char* what = carriedWhat(notificationName_, currentUrlIndex_))
    install::logCarriedFileUsed(what, file.path.c_str());
  // Into the private directory only, under the name a download of the URL would get.
  const std::string directory = platform::temporaryDirectory();
  std::string why = "no temporary directory for " + file.path;
  if (!directory.empty()) {
    const std::string destination =
        platform::appendPathComponent(directory, platform::lastPathComponent(file.path));
    const std::int64_t maxBytes = optionsForCurrentUrl().maxBytes;
    const int into = privateDestinationForCurrentUrl();
    using platform::FileCopy;
    copy_ = into >= 0
                ? FileCopy::startInto(file.path, into, destination, maxBytes, copyCallbacks(), why)
                : FileCopy::start(file.path, destination, maxBytes, copyCallbacks(), why);
  }
  if (!copy_) return carriedCopyFailed(platform::kUrlErrorCannotCreateFile, why);
  resultPaths_->push_back(copy_->destinationPath());
  doingDownload(true);
}

platform::FileCopyCallbacks Downloader::copyCallbacks() {
  auto progress = [this](std::int64_t copied, std::int64_t size) {
    expectedBytes_ = size;
    addReceived(copied - bytesReceived_);
  };
  auto finished = [this] {
    copy_.reset();
    ++currentUrlIndex_;
    continueOrEnd(true);
  };
  auto failed = [this](const std::string& reason) {
    copy_.reset();
    carriedCopyFailed(platform::kUrlErrorCannotWriteToFile, reason);
  };
  return {progress, finished, failed};
}

void Downloader::carriedCopyFailed(long code, const std::string& reason) {
  const std::string& url = urlStrings_.at(static_cast<std::size_t>(currentUrlIndex_));
  lastError_ = platform::UrlError{platform::kNSURLErrorDomain, code, reason, url};
  install::logDownloadFailure(reason.c_str());
  ++currentUrlIndex_;
  continueOrEnd(ignoreFailures_);
}

}  // namespace download
