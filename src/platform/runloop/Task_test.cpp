#include "platform/runloop/Task.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "platform/files/UniqueFd.h"
#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(Task, ReturnsTheChildsExitStatus) {
  EXPECT_EQ(runTask("/bin/sh", {"-c", "exit 0"}), 0);
  EXPECT_EQ(runTask("/bin/sh", {"-c", "exit 7"}), 7);
  EXPECT_EQ(runTask("/bin/sh", {"-c", "exit 255"}), 255);
}

TEST(Task, PassesArgumentsUnchangedAndPathAsArgumentZero) {
  ScratchDir dir;
  const std::string out = dir / "args";
  const std::string script = dir.write(
      "echo-args", "#!/bin/sh\nout=\"$1\"; shift\nprintf '%s\\n' \"$0\" \"$#\" \"$@\" > \"$out\"\n",
      0755);
  EXPECT_EQ(runTask(script, {out, "-silent", "two words", "", "*", "$HOME"}), 0);
  EXPECT_EQ(readFile(out), script + "\n5\n-silent\ntwo words\n\n*\n$HOME\n");
}

TEST(Task, ADescriptorRunsInsteadOfThePathAndStaysOpenInThatChildOnly) {
  ScratchDir dir;
  const std::string out = dir / "seen";
  const std::string script =
      dir.write("by-fd", "#!/bin/sh\nprintf '%s|%s' \"$0\" \"$1\" > \"$2\"\n", 0755);
  const UniqueFd program(::open(script.c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_TRUE(program);
  const int fd = program.get();
  EXPECT_EQ(runTask("/no/such/installer", {"-x1", out}, fd), 0);
  EXPECT_EQ(readFile(out), "/dev/fd/" + std::to_string(fd) + "|-x1");
  EXPECT_EQ(::fcntl(fd, F_GETFD), FD_CLOEXEC);
  const std::string held = "/proc/self/fd/" + std::to_string(fd);
  EXPECT_EQ(runTask("/bin/sh", {"-c", "test -e " + held}), 1) << "another child got it";
  // Not executable: the descriptor's file decides, as the path's would.
  const UniqueFd plain(::open(dir.write("plain", "#!/bin/sh\nexit 0\n", 0644).c_str(), O_RDONLY));
  EXPECT_EQ(runTask("/bin/true", {}, plain.get()), std::nullopt);
}

TEST(Task, InheritsEnvironmentAndWorkingDirectory) {
  ScratchDir dir;
  const std::string out = dir / "env";
  ::setenv("NAIB_TASK_PROBE", "inherited value", 1);
  EXPECT_EQ(
      runTask("/bin/sh", {"-c", "printf '%s|%s' \"$NAIB_TASK_PROBE\" \"$PWD\" > \"$0\"", out}), 0);
  ::unsetenv("NAIB_TASK_PROBE");
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(readFile(out), std::string("inherited value|") + cwd);
}

TEST(Task, ASignalEndsWith128PlusItsNumber) {
  EXPECT_EQ(runTask("/bin/sh", {"-c", "kill -TERM $$"}), 128 + SIGTERM);
  EXPECT_EQ(runTask("/bin/sh", {"-c", "kill -KILL $$"}), 128 + SIGKILL);
}

TEST(Task, ChildStartsWithDefaultSignalHandling) {
  // An ignored or blocked signal in the parent must not protect the child from it.
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGTERM, &ignore, &old);
  sigset_t block, oldMask;
  sigemptyset(&block);
  sigaddset(&block, SIGHUP);
  ::sigprocmask(SIG_BLOCK, &block, &oldMask);
  const auto term = runTask("/bin/sh", {"-c", "kill -TERM $$; exit 0"});
  const auto hup = runTask("/bin/sh", {"-c", "kill -HUP $$; exit 0"});
  ::sigprocmask(SIG_SETMASK, &oldMask, nullptr);
  ::sigaction(SIGTERM, &old, nullptr);
  EXPECT_EQ(term, 128 + SIGTERM);
  EXPECT_EQ(hup, 128 + SIGHUP);
}

TEST(Task, WhatCannotBeStartedIsNullopt) {
  ScratchDir dir;
  EXPECT_EQ(runTask(dir / "missing", {}), std::nullopt);
  EXPECT_EQ(runTask(dir.write("plain", "#!/bin/sh\nexit 0\n", 0644), {}), std::nullopt);
  EXPECT_EQ(runTask(dir.write("garbage",
                              std::string("\x7f"
                                          "ELF\x01\x02 broken",
                                          14),
                              0755),
                    {}),
            std::nullopt);
  EXPECT_EQ(runTask(dir.mkdirs("directory"), {}), std::nullopt);
  EXPECT_EQ(runTask("", {}), std::nullopt);
}

}  // namespace
}  // namespace platform
