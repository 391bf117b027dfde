#pragma once
// One URL transfer into a file, reported to a delegate on the run loop: the stand-in for
// the platform's URL download object. libcurl stays behind this header.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/url/TransferPolicy.h"

namespace platform {

inline constexpr const char kNSURLErrorDomain[] = "NSURLErrorDomain";

/// The URL loading system's public error codes that transfers report.
enum UrlErrorCode : long {
  kUrlErrorUnknown = -1,
  kUrlErrorCancelled = -999,
  kUrlErrorBadURL = -1000,
  kUrlErrorTimedOut = -1001,
  kUrlErrorUnsupportedURL = -1002,  ///< a scheme other than http or https, also on redirect
  kUrlErrorCannotFindHost = -1003,
  kUrlErrorCannotConnectToHost = -1004,
  kUrlErrorNetworkConnectionLost = -1005,
  kUrlErrorHTTPTooManyRedirects = -1007,
  kUrlErrorBadServerResponse = -1011,
  kUrlErrorCannotDecodeContentData = -1015,  ///< a corrupt or truncated gzip body
  kUrlErrorFileDoesNotExist = -1100,
  kUrlErrorDataLengthExceedsMaximum = -1103,
  kUrlErrorSecureConnectionFailed = -1200,
  kUrlErrorCannotCreateFile = -3000,
  kUrlErrorCannotWriteToFile = -3003,
};

struct UrlError {
  std::string domain;  ///< kNSURLErrorDomain for every error of this layer
  long code = 0;
  std::string localizedDescription;
  std::string failingUrlString;
};

/// An error of this layer: kNSURLErrorDomain, code, the code's English description and
/// failingUrl.
UrlError makeUrlError(long code, const std::string& failingUrl);

struct UrlResponse {
  std::string url;  ///< the URL that answered (after redirects)
  long statusCode = 0;
  std::int64_t expectedContentLength = -1;  ///< -1 when unknown
  std::string mimeType;                     ///< Content-Type without parameters
  std::string suggestedFilename;            ///< last path component of the URL, never empty
};

class UrlDownload;

/// Callbacks of one transfer, all on the run loop, in this order: willSendRequest for each
/// redirect, didReceiveResponse, shouldDecodeSourceDataOfMIMEType,
/// decideDestinationWithSuggestedFilename, didCreateDestination, didReceiveDataOfLength
/// (any number of times), then exactly one of downloadDidFinish or didFailWithError. A
/// failure may come at any point. The delegate may destroy the UrlDownload inside the last
/// two; no callback follows cancel(). Each request, redirects included, goes through the
/// proxy that the environment names for libcurl, else through the one the desktop's proxy
/// settings give for its URL (ProxyResolver.h).
///
/// An interrupted transfer that may be retried calls willRetry instead of failing, waits,
/// and asks again: redirects are reported again, and didReceiveResponse comes again unless
/// the answer continues the file where it stopped. The destination is decided and created
/// once per transfer: a retry that starts from zero empties the same file.
class UrlDownloadDelegate {
 public:
  virtual void willSendRequest(UrlDownload& download, const std::string& newUrl,
                               const UrlResponse* redirectResponse) = 0;
  virtual void didReceiveResponse(UrlDownload& download, const UrlResponse& response) = 0;
  virtual bool shouldDecodeSourceDataOfMIMEType(UrlDownload& download,
                                                const std::string& mimeType) = 0;
  /// Must call download.setDestination() before returning.
  virtual void decideDestinationWithSuggestedFilename(UrlDownload& download,
                                                      const std::string& filename) = 0;
  virtual void didCreateDestination(UrlDownload& download, const std::string& path) = 0;
  virtual void didReceiveDataOfLength(UrlDownload& download, std::uint32_t length) = 0;
  virtual void downloadDidFinish(UrlDownload& download) = 0;
  virtual void didFailWithError(UrlDownload& download, const UrlError& error) = 0;
  /// The attempt ended with bytesSoFar bytes in the file; retry (1-based) of maxRetries
  /// follows after a wait. The delegate may cancel() here but not destroy the transfer.
  virtual void willRetry(UrlDownload& /*download*/, std::int64_t /*bytesSoFar*/, int /*retry*/,
                         int /*maxRetries*/) {}
  /// The desktop's proxy settings for a request were not followed as given: reason says
  /// why, in English and without credentials. The request goes on. The delegate may
  /// cancel() here but not destroy the transfer.
  virtual void proxyNotUsed(UrlDownload& /*download*/, const std::string& /*reason*/) {}

 protected:
  ~UrlDownloadDelegate() = default;
};

struct UrlDownloadOptions {
  double timeoutSeconds = 30.0;  ///< connect timeout, and the longest time without data
  std::int64_t maxBytes = std::int64_t{4} << 30;  ///< cap on bytes written (decoded), -1103 past it
  /// The full waits before each retry of an interrupted attempt; their number is the number
  /// of retries. Each wait is drawn from [half, full] of its value with uniformRandom.
  std::vector<double> retryWaitsSeconds = {1, 2, 4, 8};
  UniformSource uniformRandom = systemUniform;
  MonotonicClock monotonicClock = systemMonotonicMicros;  ///< every time rule below reads it
  double maxRetryAfterSeconds = 30;  ///< the longest wait a 502, 503 or 504 may ask for
  /// An attempt fails as timed out when it averages under minimumBytesPerSecond over any
  /// window of speedWindowSeconds, its response headers take longer than
  /// headerDeadlineSeconds from the request, or it lasts longer than attemptLimitSeconds in
  /// all, redirects included (0: no such limit).
  double minimumBytesPerSecond = 1024;
  double speedWindowSeconds = 60;
  double headerDeadlineSeconds = 30;
  double attemptLimitSeconds = 0;
  /// When 0 or more: the body goes into this open file of the caller's (left open; emptied
  /// first) and no file is made at the destination; didCreateDestination then names the
  /// destination path as decided, which nothing was made at.
  int privateDestination = -1;
};

class UrlDownload {
 public:
  /// Starts fetching url asynchronously on the run loop. Returns nullptr, and calls no
  /// delegate method, when url is not an absolute http or https URL or no transfer can be
  /// made for it.
  static std::unique_ptr<UrlDownload> start(const std::string& url, UrlDownloadDelegate& delegate,
                                            const UrlDownloadOptions& options = {});
  ~UrlDownload();
  UrlDownload(const UrlDownload&) = delete;
  UrlDownload& operator=(const UrlDownload&) = delete;

  /// Only inside decideDestinationWithSuggestedFilename. Without allowOverwrite an
  /// existing file stays untouched: the file is created as path, else path-1, path-2, …
  /// An empty path fails the transfer with kUrlErrorCannotCreateFile.
  void setDestination(const std::string& path, bool allowOverwrite);

  /// Stops the transfer, also during a wait between attempts; no delegate method is called
  /// afterwards. The file stays.
  void cancel();

  struct Impl;

 private:
  explicit UrlDownload(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace platform
