#pragma once
// The rules that decide when an interrupted transfer is worth another attempt, how long to
// wait before it, how it may continue where it stopped, and when an attempt has run out of
// time. Pure: the transfer (UrlDownload) hands in what it saw, the time and a random source.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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

/// A number drawn uniformly from [0, 1].
using UniformSource = std::function<double()>;

/// The process's own uniform source: a generator seeded once from the system's entropy.
/// Main thread only.
double systemUniform();

/// The waits before the retries of one transfer. A scheduled wait is spread uniformly over
/// [half, full] of its value ("equal jitter"), so clients that failed together do not all
/// come back at the same moment; the sum of the waits stays at most the sum of the schedule.
class RetrySchedule {
 public:
  /// scheduledSeconds: the full wait before each retry, in order; their number is the
  /// number of retries. uniform is asked once for each scheduled wait that is used.
  RetrySchedule(std::vector<double> scheduledSeconds, double maxRetryAfterSeconds,
                UniformSource uniform);

  int maxRetries() const { return static_cast<int>(scheduled_.size()); }
  /// The wait before retry (1 to maxRetries()): the server's Retry-After (seconds, 0 when it
  /// gave none) as it is, up to maxRetryAfterSeconds; else the retry's scheduled wait with
  /// its jitter.
  double waitBefore(int retry, std::int64_t retryAfter) const;

 private:
  std::vector<double> scheduled_;
  double maxRetryAfterSeconds_;
  UniformSource uniform_;
};

/// Microseconds of a monotonic clock: read for every time rule of a transfer.
using MonotonicClock = std::function<std::int64_t()>;

/// The system's monotonic clock (the one the run loop's timeouts follow), in microseconds.
std::int64_t systemMonotonicMicros();

/// The clocks of one attempt, in microseconds of one monotonic clock.
struct AttemptClock {
  std::int64_t attemptStart = 0;  ///< the attempt's first request
  std::int64_t requestStart = 0;  ///< the request of the current hop (a redirect starts one)
  std::int64_t lastActivity = 0;  ///< the last byte received, headers included
  bool headersComplete = false;   ///< the current hop's final response headers are in
};

struct AttemptTimeLimits {
  double idleSeconds;     ///< the longest time without a byte
  double headerSeconds;   ///< the longest a hop's headers may take from its request
  double attemptSeconds;  ///< the longest the whole attempt may take; 0: no such limit
};

/// True when the attempt has run out of time at now by one of limits. The speed rule is
/// SpeedWindow's.
bool attemptOutOfTime(const AttemptClock& clock, const AttemptTimeLimits& limits, std::int64_t now);

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
