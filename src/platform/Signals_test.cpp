#include "platform/Signals.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/RunLoop.h"

namespace platform {
namespace {

bool sigintHasDefaultAction() {
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  return current.sa_handler == SIG_DFL;
}

TEST(InterruptWatchTest, InterruptReachesTheCallbackOnTheLoopThenDefaultComesBack) {
  int calls = 0;
  {
    InterruptWatch watch([&calls] { ++calls; });
    EXPECT_FALSE(sigintHasDefaultAction());
    raise(SIGINT);
    EXPECT_EQ(calls, 0) << "never from inside the signal handler";
    EXPECT_TRUE(runMainLoopUntil([&calls] { return calls == 1; }, 2000));
    raise(SIGINT);
    EXPECT_TRUE(runMainLoopUntil([&calls] { return calls == 2; }, 2000));
  }
  EXPECT_TRUE(sigintHasDefaultAction());
}

}  // namespace
}  // namespace platform
