#include "platform/Signals.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

#include "platform/RunLoop.h"
#include "platform/Task.h"
#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;

sighandler_t dispositionOf(int signo) {
  struct sigaction current {};
  sigaction(signo, nullptr, &current);
  return current.sa_handler;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// A shell child that records each signal it gets and ends a moment after the first.
std::string recordingChild(const ScratchDir& dir) {
  return dir.write("child",
                   "#!/bin/sh\n"
                   "for s in INT TERM HUP; do trap \"echo $s >> '" +
                       dir / "got" +
                       "'; sleep 0.3; exit 3\" $s; done\n"
                       "touch '" +
                       dir / "started" +
                       "'\n"
                       "while :; do sleep 0.02; done\n",
                   0755);
}

void whenStarted(const ScratchDir& dir, const std::function<void()>& fn) {
  while (::access((dir / "started").c_str(), F_OK) != 0) ::usleep(1000);
  fn();
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

// The signal goes on to the child, the child's own end is returned, and only then does the
// run's end learn of the signal.
TEST(TerminationWatchTest, ASignalDuringAChildIsForwardedAndDeliveredAfterItsEnd) {
  ScratchDir dir;
  std::vector<int> ended;
  TerminationWatch watch([&ended](int signo) { ended.push_back(signo); });
  std::thread sender(whenStarted, std::cref(dir), [] { kill(getpid(), SIGTERM); });
  const auto status = runTask(recordingChild(dir), {});
  sender.join();
  EXPECT_EQ(status, 3) << "the child ended on its own terms";
  EXPECT_EQ(readFile(dir / "got"), "TERM\n");
  EXPECT_TRUE(ended.empty()) << "the caller records the child's end first";
  deliverPendingTermination();
  EXPECT_EQ(ended, std::vector<int>{SIGTERM});
  deliverPendingTermination();
  EXPECT_EQ(ended.size(), 1u) << "delivered once";
}

// A terminal's Ctrl-C reaches the whole foreground process group: the child gets it from
// the terminal (not a second copy from us), and our process waits for the child's end
// instead of dying of it.
TEST(TerminationWatchTest, ACtrlCFromTheTerminalDuringAChildIsWaitedOutNotDiedOf) {
  ScratchDir dir;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string slave = ptsname(master);
  const std::string child = recordingChild(dir);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    // A session of its own whose controlling terminal is the pseudo-terminal.
    setsid();
    const int tty = open(slave.c_str(), O_RDWR);
    if (tty < 0) _exit(100);
    TerminationWatch watch([](int) {});
    _exit(runTask(child, {}).value_or(101));
  }
  whenStarted(dir, [master] { ASSERT_EQ(write(master, "\x03", 1), 1); });
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
  EXPECT_EQ(readFile(dir / "got"), "INT\n");
}

}  // namespace
}  // namespace platform
