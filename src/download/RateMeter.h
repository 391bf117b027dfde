#pragma once
// The recent rate of a transfer, for the progress window: bytes per second over the last
// few seconds rather than the average since the start, so the figure follows the network.

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>

namespace download {

class RateMeter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  /// Measures over the last window of time read from clock; the rate is known once the
  /// first bytes are at least minimumSpan old.
  explicit RateMeter(Clock clock = std::chrono::steady_clock::now,
                     std::chrono::milliseconds window = std::chrono::seconds(5),
                     std::chrono::milliseconds minimumSpan = std::chrono::seconds(1));

  /// Forgets everything: a new transfer starts.
  void reset();
  /// Counts bytes that arrived now.
  void add(std::uint64_t bytes);
  /// Bytes per second over the window up to now; 0 until the rate is known.
  double bytesPerSecond() const;

 private:
  struct Sample {
    std::chrono::steady_clock::time_point at;
    std::uint64_t total;  ///< bytes counted up to at
  };

  Clock clock_;
  std::chrono::milliseconds window_;
  std::chrono::milliseconds minimumSpan_;
  std::deque<Sample> samples_;
  std::uint64_t total_ = 0;
};

}  // namespace download
