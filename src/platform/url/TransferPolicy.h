#pragma once
// The rules that decide when an interrupted transfer is worth another attempt, how it may
// continue where it stopped, and when a transfer is too slow to go on. Pure: the transfer
// (UrlDownload) hands in what it saw and the time.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

namespace platform {

/// True for the URL error codes of an attempt that a later attempt may get past: a lost
/// or refused connection, an unreachable server, a timeout.
bool isRetryableError(long code);

/// True for the HTTP statuses that say "try again later": 502, 503, 504.
bool isRetryableStatus(long status);

/// The If-Range value that ties a resumed request to the entity already stored: a strong
/// ETag, else Last-Modified; empty when neither can be used (a weak ETag never can).
std::string ifRangeValidator(const std::string& etag, const std::string& lastModified);

/// The first byte position of a Content-Range value "bytes FIRST-LAST/LENGTH"; nothing
/// for any other form.
std::optional<std::int64_t> contentRangeStart(const std::string& value);

/// The wait before the next attempt: the server's Retry-After (seconds, 0 when it gave
/// none) up to maxRetryAfter, else the scheduled wait.
double retryWaitSeconds(double scheduled, std::int64_t retryAfter, double maxRetryAfter);

/// Bytes received over time, judged over a sliding window: too slow once a whole window
/// has passed with fewer than minimumBytesPerSecond on average in the latest one. Times
/// are in microseconds of any monotonic clock.
class SpeedWindow {
 public:
  SpeedWindow(double windowSeconds, double minimumBytesPerSecond);

  /// Starts a new measure at now with nothing received.
  void restart(std::int64_t now);
  /// Notes the total bytes received up to now; call at least once a second.
  void sample(std::int64_t now, std::int64_t totalBytes);
  /// True when the last whole window up to the latest sample fell below the rate.
  bool tooSlow() const;

 private:
  struct Sample {
    std::int64_t time;
    std::int64_t bytes;
  };
  std::int64_t windowMicros_;
  double minimumBytesPerSecond_;
  std::deque<Sample> samples_;
};

}  // namespace platform
