#include "platform/url/TransferPolicy.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace platform
