#include "platform/url/TransferPolicy.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <random>

#include "platform/url/UrlDownload.h"

namespace platform {

bool isRetryableError(long code) {
  switch (code) {
    case kUrlErrorTimedOut:
    case kUrlErrorCannotFindHost:
    case kUrlErrorCannotConnectToHost:
    case kUrlErrorNetworkConnectionLost:
      return true;
    default:
      return false;
  }
}

bool isRetryableStatus(long status) {
  return status == 502 || status == 503 || status == 504;
}

std::string ifRangeValidator(const std::string& etag, const std::string& lastModified) {
  // A weak tag only says "equivalent"; byte ranges need the very same bytes.
  if (!etag.empty() && etag.rfind("W/", 0) != 0) return etag;
  return lastModified;
}

std::optional<std::int64_t> contentRangeStart(const std::string& value) {
  static constexpr char kUnit[] = "bytes ";
  if (value.rfind(kUnit, 0) != 0) return std::nullopt;
  const char* digits = value.c_str() + sizeof kUnit - 1;
  if (*digits < '0' || *digits > '9') return std::nullopt;
  char* end = nullptr;
  const long long first = std::strtoll(digits, &end, 10);
  if (end == nullptr || *end != '-' || first < 0) return std::nullopt;
  return static_cast<std::int64_t>(first);
}

double systemUniform() {
  static std::mt19937_64 engine{std::random_device{}()};
  return std::uniform_real_distribution<double>(0.0, 1.0)(engine);
}

std::int64_t systemMonotonicMicros() {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
}

RetrySchedule::RetrySchedule(std::vector<double> scheduledSeconds, double maxRetryAfterSeconds,
                             UniformSource uniform)
    : scheduled_(std::move(scheduledSeconds)),
      maxRetryAfterSeconds_(maxRetryAfterSeconds),
      uniform_(std::move(uniform)) {}

double RetrySchedule::waitBefore(int retry, std::int64_t retryAfter) const {
  // The server knows when it will be back; spreading its answer would only come back early.
  if (retryAfter > 0) return std::min(static_cast<double>(retryAfter), maxRetryAfterSeconds_);
  const double full = scheduled_.at(static_cast<std::size_t>(retry - 1));
  // A source that strays outside [0, 1] must not stretch the bounded total.
  const double draw = std::clamp(uniform_(), 0.0, 1.0);
  return full / 2 + full / 2 * draw;
}

bool attemptOutOfTime(const AttemptClock& clock, const AttemptTimeLimits& limits,
                      std::int64_t now) {
  const auto since = [now](std::int64_t then) { return static_cast<double>(now - then) / 1e6; };
  if (since(clock.lastActivity) >= limits.idleSeconds) return true;
  if (!clock.headersComplete && since(clock.requestStart) >= limits.headerSeconds) return true;
  return limits.attemptSeconds > 0 && since(clock.attemptStart) >= limits.attemptSeconds;
}

SpeedWindow::SpeedWindow(double windowSeconds, double minimumBytesPerSecond)
    : windowMicros_(std::llround(windowSeconds * 1e6)),
      minimumBytesPerSecond_(minimumBytesPerSecond) {}

void SpeedWindow::restart(std::int64_t now) {
  samples_.clear();
  samples_.push_back({now, 0});
}

void SpeedWindow::sample(std::int64_t now, std::int64_t totalBytes) {
  samples_.push_back({now, totalBytes});
  // Keep the newest sample that is at least a window old: it starts the latest window.
  while (samples_.size() > 2 && samples_[1].time <= now - windowMicros_) samples_.pop_front();
}

bool SpeedWindow::tooSlow() const {
  if (samples_.size() < 2) return false;
  const Sample& first = samples_.front();
  const Sample& last = samples_.back();
  const std::int64_t span = last.time - first.time;
  if (span < windowMicros_) return false;
  const double rate =
      static_cast<double>(last.bytes - first.bytes) * 1e6 / static_cast<double>(span);
  return rate < minimumBytesPerSecond_;
}

}  // namespace platform
