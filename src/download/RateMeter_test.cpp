#include "download/RateMeter.h"

#include <gtest/gtest.h>

namespace download {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  RateMeter::Clock clock() {
    return [this] { return now; };
  }
};

// bytes every tick, ticks times
void feed(RateMeter& meter, FakeClock& time, std::uint64_t bytes, std::chrono::milliseconds tick,
          int ticks) {
  for (int i = 0; i < ticks; ++i) {
    time.now += tick;
    meter.add(bytes);
  }
}

TEST(RateMeterTest, KnownAfterTheMinimumSpanAndFollowsTheRecentWindow) {
  FakeClock time;
  RateMeter meter(time.clock(), 5s, 1s);
  EXPECT_EQ(meter.bytesPerSecond(), 0);
  feed(meter, time, 1000, 100ms, 9);
  EXPECT_EQ(meter.bytesPerSecond(), 0) << "not yet a second old";
  feed(meter, time, 1000, 100ms, 11);
  EXPECT_NEAR(meter.bytesPerSecond(), 10'000, 1);
  // Faster for longer than the window: the old pace no longer counts.
  feed(meter, time, 5000, 10ms, 600);
  EXPECT_NEAR(meter.bytesPerSecond(), 500'000, 500'000 * 0.03);
  // A stall longer than the window, then one chunk.
  time.now += 6s;
  meter.add(100);
  EXPECT_LT(meter.bytesPerSecond(), 1000);
  meter.reset();
  time.now += 2s;
  EXPECT_EQ(meter.bytesPerSecond(), 0) << "a new transfer starts unknown";
}

}  // namespace
}  // namespace download
