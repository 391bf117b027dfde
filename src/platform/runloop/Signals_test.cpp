#include "platform/runloop/Signals.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <vector>

#include "platform/runloop/RunLoop.h"

namespace platform {
namespace {

sighandler_t dispositionOf(int signo) {
  struct sigaction current {};
  sigaction(signo, nullptr, &current);
  return current.sa_handler;
}

TEST(InterruptWatchTest, InterruptReachesTheCallbackOnTheLoopThenDefaultComesBack) {
  int calls = 0;
  {
    InterruptWatch watch([&calls] { ++calls; });
    EXPECT_NE(dispositionOf(SIGINT), SIG_DFL);
    raise(SIGINT);
    EXPECT_EQ(calls, 0) << "never from inside the signal handler";
    EXPECT_TRUE(runMainLoopUntil([&calls] { return calls == 1; }, 2000));
    raise(SIGINT);
    EXPECT_TRUE(runMainLoopUntil([&calls] { return calls == 2; }, 2000));
  }
  EXPECT_EQ(dispositionOf(SIGINT), SIG_DFL);
}

TEST(TerminationWatchTest, EachSignalReachesTheLoopAndSigintPrefersALiveInterruptWatch) {
  std::vector<int> ended;
  int interrupts = 0;
  {
    TerminationWatch watch([&ended](int signo) { ended.push_back(signo); });
    for (int signo : {SIGTERM, SIGHUP, SIGINT}) raise(signo);
    EXPECT_TRUE(ended.empty()) << "never from inside the signal handler";
    EXPECT_TRUE(runMainLoopUntil([&] { return ended.size() == 3; }, 2000));
    EXPECT_EQ(ended, (std::vector<int>{SIGTERM, SIGHUP, SIGINT}));
    {
      InterruptWatch cancel([&interrupts] { ++interrupts; });
      raise(SIGINT);
      EXPECT_TRUE(runMainLoopUntil([&] { return interrupts == 1; }, 2000));
    }
    raise(SIGINT);
    EXPECT_TRUE(runMainLoopUntil([&] { return ended.size() == 4; }, 2000));
    EXPECT_EQ(interrupts, 1) << "a Cancel that is gone takes no more Ctrl-C";
  }
  for (int signo : {SIGINT, SIGTERM, SIGHUP}) EXPECT_EQ(dispositionOf(signo), SIG_DFL);
}

TEST(TerminationWatchTest, ASignalTheParentIgnoredStaysIgnored) {
  signal(SIGHUP, SIG_IGN);
  {
    TerminationWatch watch([](int) { ADD_FAILURE() << "an ignored signal arrived"; });
    EXPECT_EQ(dispositionOf(SIGHUP), SIG_IGN);
    EXPECT_NE(dispositionOf(SIGTERM), SIG_DFL);
    raise(SIGHUP);
    runMainLoopUntil([] { return false; }, 100);
  }
  EXPECT_EQ(dispositionOf(SIGHUP), SIG_IGN);
  signal(SIGHUP, SIG_DFL);
}

}  // namespace
}  // namespace platform
