#pragma once
// Fetches a list of URLs one after another into the temporary directory, shows progress
// unless silent, and reports the run's end with one queued notification.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "download/RateMeter.h"
#include "platform/files/FileCopy.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/Observable.h"
#include "platform/url/UrlDownload.h"
#include "ui/Presenter.h"

namespace download {

inline constexpr char kDownloaderKeySuccess[] = "DownloaderKeySuccess";  ///< bool
inline constexpr char kDownloaderKeyFiles[] = "DownloaderKeyFiles";      ///< PathList
/// bool: the run ended because the person pressed Cancel (stopDownLoad), not by a failure.
inline constexpr char kDownloaderKeyCancelled[] = "DownloaderKeyCancelled";
inline constexpr char kInstallerDownloadDone[] = "InstallerDownloadDone";
inline constexpr char kCrlDownloadDone[] = "CrlDownloadDone";

/// What the transfer of one URL may take.
struct TransferLimits {
  std::int64_t maxBytes;     ///< the largest file it may produce, decoded bytes counted
  double maxAttemptSeconds;  ///< how long each attempt may last in all; 0: no such limit
};

// A runtime installer is large, and may take as long as it keeps moving at the minimum
// speed. A signature and a revocation list never are large, both are read whole into
// memory later, and a server that feeds one of them just above the minimum speed must not
// hold the install for minutes or hours: each attempt ends after two minutes.
inline constexpr TransferLimits kRuntimeLimits{std::int64_t{4} << 30, 0};
inline constexpr TransferLimits kSignatureLimits{std::int64_t{1} << 20, 120};
inline constexpr TransferLimits kCrlLimits{std::int64_t{32} << 20, 120};

/// A file that the bundle carries for one URL of the list.
struct CarriedFile {
  std::string path;  ///< the file in the bundle; only ever read
  /// false: copied instead of fetched; true: fetched, and copied only when the fetch fails.
  bool onlyWhenFetchFails = false;
};

/// The regular file (links followed) that the carried tree in folder holds at url's path;
/// nullopt for an empty folder, a URL that names no file of a tree, or when none is there.
std::optional<std::string> carriedFileIn(const std::string& folder, const std::string& url);

/// The run's created files, handed out as the Downloader's own list (not a copy): the next
/// setUrlStrings() empties it.
using PathList = std::shared_ptr<std::vector<std::string>>;

/// What a run's done notification carries, under the keys above.
struct DownloadDone {
  bool success = false;
  PathList files;  ///< the run's created files in URL order; null when none are carried
  bool cancelled = false;
};

/// The done notification named name that sender posts for done.
platform::Notification downloadDoneNotification(const std::string& name, const void* sender,
                                                DownloadDone done);
/// The values of a done notification. Observers take the name from any sender, so a value
/// that is missing or of another type reads as false, or as no list.
DownloadDone downloadDoneOf(const platform::Notification& n);

class Downloader : private platform::UrlDownloadDelegate {
 public:
  /// queue posts the done notification (object: this Downloader); presenter shows the
  /// progress window, whose binding the caller sets up. Every transfer uses
  /// transferOptions, its limits aside (see setLimits).
  Downloader(platform::NotificationQueue& queue, ui::Presenter& presenter,
             platform::UrlDownloadOptions transferOptions = {});
  ~Downloader();
  Downloader(const Downloader&) = delete;
  Downloader& operator=(const Downloader&) = delete;

  /// Starts the run at the current URL; the done notification is named notificationName.
  /// With no URL left to fetch the run ends at once (success as ignoreFailures).
  void startDownload(const std::string& notificationName);
  /// The Cancel button's action; ignored when no run is in progress.
  void stopDownLoad();
  void sendDoneNotfication(bool success);
  /// Deletes the files of every ended run and the private temporary directory.
  void cleanupTempFiles();

  /// Resets the index to 0, empties the list handed out by the last run and forgets the
  /// limits of setLimits.
  void setUrlStrings(std::vector<std::string> urls);
  /// The limits of each URL of the list, in URL order; a URL past the end of limits takes
  /// its last entry, and without limits every URL has the transfer's own. A URL that goes
  /// over its size cap fails with kUrlErrorDataLengthExceedsMaximum; an attempt that runs
  /// out of time ends as kUrlErrorTimedOut, after which the retry rules apply. Call after
  /// setUrlStrings.
  void setLimits(std::vector<TransferLimits> limits) { limits_ = std::move(limits); }
  const std::vector<std::string>& urlStrings() const { return urlStrings_; }
  /// The folder that holds the bundle's copy of the download tree; empty (the default) for
  /// a run whose caller takes nothing from the bundle. Kept across runs.
  void setCarriedTree(std::string folder) { carriedTree_ = std::move(folder); }
  /// carriedFileIn the carried tree; nullopt without one.
  std::optional<std::string> carriedFileFor(const std::string& url) const {
    return carriedFileIn(carriedTree_, url);
  }
  /// The bundle's files for the URLs of the list, in URL order; a URL past the end has
  /// none. A carried file is copied into the temporary directory (or the URL's private
  /// destination), with the progress and Cancel of a transfer, and its install-log line
  /// "Using <what> carried in the bundle at <path>" stands in for the download's lines
  /// (after them, when the fetch failed first). A copy that fails fails its URL. Call after
  /// setUrlStrings, which forgets them.
  void setCarriedFiles(std::vector<std::optional<CarriedFile>> files) {
    carried_ = std::move(files);
  }
  /// Open files of the caller's (left open), in URL order, that receive their URL's bytes
  /// instead of a file in the temporary directory, carried copies included; -1, or a URL
  /// past the end: a file. The URL's destination path is still decided, logged and listed
  /// among the run's files, but nothing is made at it. Call after setUrlStrings, which
  /// forgets them.
  void setPrivateDestinations(std::vector<int> descriptors) {
    privateDestinations_ = std::move(descriptors);
  }
  void setIgnoreFailures(bool value) { ignoreFailures_ = value; }
  bool ignoreFailures() const { return ignoreFailures_; }
  void setSilent(bool value) { silent_ = value; }
  bool silent() const { return silent_; }
  void setLocalizedPleaseWait(std::string text) { localizedPleaseWait_.set(std::move(text)); }
  void setLocalizedCancel(std::string text) { localizedCancel_.set(std::move(text)); }
  void setRuntimeArgs(std::vector<std::string> args) { runtimeArgs_ = std::move(args); }
  const std::vector<std::string>& runtimeArgs() const { return runtimeArgs_; }
  /// The error of the most recent failed URL; never cleared.
  const std::optional<platform::UrlError>& lastError() const { return lastError_; }

  platform::Observable<double>& currentProgressPercent() { return currentProgressPercent_; }
  platform::Observable<std::string>& localizedPleaseWait() { return localizedPleaseWait_; }
  platform::Observable<std::string>& localizedCancel() { return localizedCancel_; }
  /// Bytes, announced length and rate of the current URL, for the progress window.
  platform::Observable<ui::TransferAmounts>& transferAmounts() { return transferAmounts_; }

 private:
  // UrlDownloadDelegate
  void willSendRequest(platform::UrlDownload&, const std::string& newUrl,
                       const platform::UrlResponse* redirectResponse) override;
  void didReceiveResponse(platform::UrlDownload&, const platform::UrlResponse& response) override;
  bool shouldDecodeSourceDataOfMIMEType(platform::UrlDownload&,
                                        const std::string& mimeType) override;
  void decideDestinationWithSuggestedFilename(platform::UrlDownload&,
                                              const std::string& filename) override;
  void didCreateDestination(platform::UrlDownload&, const std::string& path) override;
  void didReceiveDataOfLength(platform::UrlDownload&, std::uint32_t length) override;
  void downloadDidFinish(platform::UrlDownload&) override;
  void didFailWithError(platform::UrlDownload&, const platform::UrlError& error) override;
  void willRetry(platform::UrlDownload&, std::int64_t bytesSoFar, int retry,
                 int maxRetries) override;
  void proxyNotUsed(platform::UrlDownload&, const std::string& reason) override;

  void resetProgress();
  void addReceived(std::int64_t length);
  /// The carried file of the current URL when it is to be copied now: instead of a fetch,
  /// or after a failed one.
  const CarriedFile* carriedForCurrentUrl(bool fetchFailed) const;
  void startCarriedCopy(const CarriedFile& file);
  int privateDestinationForCurrentUrl() const;
  /// A copy's progress, end and failure, each handled as a transfer's.
  platform::FileCopyCallbacks copyCallbacks();
  void carriedCopyFailed(long code, const std::string& reason);
  void doingDownload(bool active);
  /// After a URL ended: starts the next one when success allows and one is left, else ends
  /// the run with success.
  void continueOrEnd(bool success);

  /// The options of the transfer of the current URL.
  platform::UrlDownloadOptions optionsForCurrentUrl() const;

  platform::NotificationQueue& queue_;
  ui::Presenter& presenter_;
  platform::UrlDownloadOptions transferOptions_;
  std::vector<TransferLimits> limits_;
  std::int64_t bytesReceived_ = 0;
  std::int64_t expectedBytes_ = 0;
  platform::Observable<double> currentProgressPercent_{0.0};
  int currentUrlIndex_ = 0;
  std::vector<std::string> urlStrings_;
  std::vector<std::string> runtimeArgs_;
  std::unique_ptr<platform::UrlDownload> urlDownload_;
  std::unique_ptr<platform::FileCopy> copy_;  ///< the current URL's carried file, copying
  std::string carriedTree_;
  std::vector<std::optional<CarriedFile>> carried_;
  std::vector<int> privateDestinations_;
  std::optional<platform::UrlResponse> urlResponse_;
  PathList resultPaths_ = std::make_shared<std::vector<std::string>>();
  std::vector<std::string> cleanupPaths_;
  std::optional<platform::UrlError> lastError_;
  bool ignoreFailures_ = false;
  bool silent_ = false;
  bool active_ = false;     ///< between doingDownload(true) and the end of the run
  bool cancelled_ = false;  ///< the current or last run ended by stopDownLoad()
  // The desktop's proxy settings fail the same way for every URL: one notice says so.
  bool proxyNoticeLogged_ = false;
  std::string notificationName_;
  platform::Observable<std::string> localizedPleaseWait_;
  platform::Observable<std::string> localizedCancel_;
  platform::Observable<ui::TransferAmounts> transferAmounts_;
  RateMeter rate_;
};

}  // namespace download
