#include "download/RateMeter.h"

#include <utility>

namespace download {
namespace {

// Samples closer together than this are merged: a fast transfer reports thousands of
// chunks a second, and the rate needs only a few points per window.
constexpr auto kSampleSpacing = std::chrono::milliseconds(100);

}  // namespace

RateMeter::RateMeter(Clock clock, std::chrono::milliseconds window,
                     std::chrono::milliseconds minimumSpan)
    : clock_(std::move(clock)), window_(window), minimumSpan_(minimumSpan) {}

void RateMeter::reset() {
  samples_.clear();
  total_ = 0;
}

void RateMeter::add(std::uint64_t bytes) {
  const auto now = clock_();
  total_ += bytes;
  // The first chunk only marks the start: the time it took to arrive is unknown.
  if (samples_.size() > 1 && now - samples_[samples_.size() - 2].at < kSampleSpacing) {
    samples_.back() = {now, total_};
  } else {
    samples_.push_back({now, total_});
  }
  // Keep one sample at or before the window's start, so the window is always covered.
  while (samples_.size() > 2 && now - samples_[1].at >= window_) samples_.pop_front();
}

double RateMeter::bytesPerSecond() const {
  if (samples_.empty()) return 0;
  const auto now = clock_();
  // From the newest sample at or before the window's start (the first one while the
  // transfer is younger than the window): a stall longer than the window reads as 0.
  const Sample* from = &samples_.front();
  for (const Sample& sample : samples_) {
    if (now - sample.at < window_) break;
    from = &sample;
  }
  const std::chrono::duration<double> span = now - from->at;
  if (span < minimumSpan_ || span.count() <= 0) return 0;
  return static_cast<double>(total_ - from->total) / span.count();
}

}  // namespace download
