#include "platform/url/TransferPolicy.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace platform {
namespace {

TEST(TransferPolicy, ResumeNeedsAStrongTagOrADateAndTheRangeAskedFor) {
  EXPECT_EQ(ifRangeValidator("\"v1\"", "Mon, 01 Jan 2024 00:00:00 GMT"), "\"v1\"");
  EXPECT_EQ(ifRangeValidator("W/\"v1\"", "Mon, 01 Jan 2024 00:00:00 GMT"),
            "Mon, 01 Jan 2024 00:00:00 GMT");
  EXPECT_EQ(ifRangeValidator("W/\"v1\"", ""), "");
  EXPECT_EQ(ifRangeValidator("", ""), "");

  const std::pair<const char*, std::optional<std::int64_t>> ranges[] = {
      {"bytes 100-199/200", 100},
      {"bytes 0-9/*", 0},
      {"bytes */200", std::nullopt},
      {"bytes -5-9/10", std::nullopt},
      {"items 1-2/3", std::nullopt},
      {"bytes 7", std::nullopt},
      {"", std::nullopt}};
  for (const auto& [value, start] : ranges) EXPECT_EQ(contentRangeStart(value), start) << value;
}

TEST(TransferPolicy, SpeedIsJudgedOverEveryWholeWindow) {
  constexpr std::int64_t kSecond = 1000000;
  SpeedWindow window(60, 1024);
  window.restart(0);
  // A fast start, then a trickle: fine until the latest whole minute is the trickle.
  std::int64_t total = 0;
  for (int second = 1; second <= 200; ++second) {
    total += second <= 10 ? 100000 : 100;
    window.sample(second * kSecond, total);
    const bool slow = window.tooSlow();
    ASSERT_EQ(slow, second >= 70) << second;
    if (slow) break;
  }
  // Steady at the limit is never too slow, and nothing is judged before a whole window.
  window.restart(0);
  for (int second = 1; second <= 180; ++second) {
    window.sample(second * kSecond, second * 1024);
    ASSERT_FALSE(window.tooSlow()) << second;
  }
  window.restart(0);
  window.sample(59 * kSecond, 0);
  EXPECT_FALSE(window.tooSlow());
  window.sample(60 * kSecond, 0);
  EXPECT_TRUE(window.tooSlow());
}

TEST(TransferPolicy, RetryWaitsSpreadOverHalfToFullAndRetryAfterIsTakenAsItIs) {
  std::vector<double> draws{0.0, 1.0, 0.5, 0.25};
  std::size_t next = 0;
  const RetrySchedule schedule({1, 2, 4, 8}, 30, [&] { return draws.at(next++); });
  ASSERT_EQ(schedule.maxRetries(), 4);
  EXPECT_EQ(schedule.waitBefore(1, 0), 0.5);
  EXPECT_EQ(schedule.waitBefore(2, 0), 2.0);
  EXPECT_EQ(schedule.waitBefore(3, 0), 3.0);
  EXPECT_EQ(schedule.waitBefore(4, 0), 5.0);
  // The server's own wait is neither spread nor drawn for, and stays capped.
  EXPECT_EQ(schedule.waitBefore(1, 7), 7.0);
  EXPECT_EQ(schedule.waitBefore(4, 300), 30.0);
  EXPECT_EQ(next, 4u);

  // The process's own source covers [0, 1].
  double least = 1, most = 0;
  for (int draw = 0; draw < 1000; ++draw) {
    least = std::min(least, systemUniform());
    most = std::max(most, systemUniform());
  }
  EXPECT_TRUE(least >= 0 && least < 0.1 && most > 0.9 && most <= 1) << least << " " << most;
}

TEST(TransferPolicy, AnAttemptRunsOutOfTimeByItsIdleHeaderOrOverallLimit) {
  constexpr std::int64_t s = 1000000;
  const AttemptTimeLimits limits{30, 30, 120};
  const AttemptTimeLimits noOverall{30, 30, 0};
  // {attempt start, current hop's request, last byte, headers in}
  const std::tuple<const char*, AttemptClock, AttemptTimeLimits, std::int64_t, bool> cases[] = {
      {"moving, under two minutes", {0, 5 * s, 118 * s, true}, limits, 119 * s, false},
      {"moving, two minutes in all", {0, 5 * s, 119 * s, true}, limits, 120 * s, true},
      {"no overall limit, an hour in", {0, 5 * s, 3599 * s, true}, noOverall, 3600 * s, false},
      {"idle", {0, 5 * s, 10 * s, true}, noOverall, 40 * s, true},
      {"headers dribbling since the redirect", {0, 5 * s, 34 * s, false}, noOverall, 35 * s, true},
      {"headers dribbling, not yet", {0, 5 * s, 33 * s, false}, noOverall, 34 * s, false},
  };
  for (const auto& [what, clock, limit, now, out] : cases) {
    EXPECT_EQ(attemptOutOfTime(clock, limit, now), out) << what;
  }
}

}  // namespace
}  // namespace platform
