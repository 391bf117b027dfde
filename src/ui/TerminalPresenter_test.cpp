#include "ui/TerminalPresenter.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <csignal>

#include "platform/files/UniqueFd.h"
#include "platform/runloop/RunLoop.h"
#include "platform/testing/ScopedEnvVar.h"
#include "ui/TerminalText.h"

namespace ui {
namespace {

using Fd = platform::UniqueFd;

std::string drain(int fd) {
  std::string out;
  char buffer[4096];
  while (true) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0 || !(p.revents & POLLIN)) break;
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

bool hasInput(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) == 1;
}

using platform::testing::ScopedEnvVar;

// A pseudo-terminal, by default in raw mode so what the presenter writes arrives
// unchanged; a canonical one reads lines as a person types them, Ctrl-D included.
struct Terminal {
  Fd master, slave;
  explicit Terminal(bool raw = true, unsigned short columns = 0) {
    master.reset(posix_openpt(O_RDWR | O_NOCTTY));
    if (master.get() < 0 || grantpt(master.get()) != 0 || unlockpt(master.get()) != 0) return;
    slave.reset(open(ptsname(master.get()), O_RDWR | O_NOCTTY));
    termios t{};
    tcgetattr(slave.get(), &t);
    if (raw) cfmakeraw(&t);
    tcsetattr(slave.get(), TCSANOW, &t);
    winsize size{};
    size.ws_col = columns;
    size.ws_row = columns ? 24 : 0;
    ioctl(slave.get(), TIOCSWINSZ, &size);
  }
};

struct Pipe {
  Fd read, write;
  Pipe() {
    int fds[2];
    if (pipe(fds) == 0) {
      read.reset(fds[0]);
      write.reset(fds[1]);
    }
  }
};

struct Model {
  platform::Observable<std::string> title{"Installing Sample"};
  platform::Observable<std::string> pleaseWait{"Please wait."};
  platform::Observable<std::string> cancelText{"Cancel"};
  platform::Observable<double> percent{0};
  int cancels = 0;
  ProgressBinding binding() {
    return {&title, &pleaseWait, &cancelText, &percent, [this] { ++cancels; }};
  }
};

TEST(ProgressLineTest, BarIsClampedForUnknownAndOvershootingTotals) {
  const std::pair<double, const char*> cases[] = {
      {40, "T [############..................] 40%"},
      {250, "T [##############################] 100%"},
      {-3, "T [..............................] 0%"},
      {std::nan(""), "T [..............................] 0%"},
      {99.9, "T [#############################.] 99%"},
  };
  for (const auto& [percent, line] : cases) EXPECT_EQ(progressLine({"T", percent}, 0), line);
  EXPECT_EQ(progressLine({"T", 40, "", "", "Wait.", true}, 0),
            "T [------------------------------] Wait.");
}

// The line a person sees on a terminal of the common widths, in languages with short, long
// and wide titles: the bar shrinks first, then the please-wait text, the rate and the
// amounts go, and last the title is cut with a mark.
TEST(ProgressLineTest, TheLineFitsCommonWidthsInEveryScript) {
  const ProgressParts en{"Installing Sample", 20, "606.2 kB / 3.0 MB", "1.7 MB/s", "Please wait."};
  const ProgressParts de{"Installation von Sample", 20, "606.2 kB / 3.0 MB", "1.7 MB/s",
                         "Bitte warten."};
  const ProgressParts ja{"インストール中：Sample", 20, "606.2 kB / 3.0 MB", "1.7 MB/s",
                         "お待ちください。"};
  const struct {
    const ProgressParts& parts;
    int columns;
    const char* line;
  } cases[] = {
      {en, 200,
       "Installing Sample [######........................] 20% 606.2 kB / 3.0 MB \u00B7 1.7 MB/s "
       "Please wait."},
      {en, 80,
       "Installing Sample [##...........] 20% 606.2 kB / 3.0 MB \u00B7 1.7 MB/s Please wait."},
      {en, 40, "Installing Sample [###............] 20%"},
      {en, 20, "[##........] 20%"},
      {en, 12, "20%"},
      {de, 80,
       "Installation von Sample [####................] 20% 606.2 kB / 3.0 MB \u00B7 1.7 MB/s"},
      {de, 40, "Installation von Sam\u2026 [##........] 20%"},
      {ja, 80,
       "インストール中：Sample [####.................] 20% 606.2 kB / 3.0 MB \u00B7 1.7 MB/s"},
      {ja, 40, "インストール中：Sample [##........] 20%"},
      {ja, 30, "インストー\u2026 [##........] 20%"},
  };
  for (const auto& c : cases) {
    const std::string line = progressLine(c.parts, c.columns);
    EXPECT_EQ(line, c.line) << c.columns;
    EXPECT_LT(displayWidth(line), c.columns) << line;
  }
}

TEST(TerminalPresenterTest, WithoutTerminalProgressPrintsTenthsAndModalsNeverWait) {
  Pipe out, in;  // standard input is a pipe nobody writes to: a wait would hang the test
  Model model;
  TerminalPresenter presenter(out.write.get(), in.read.get());
  presenter.bindProgress(model.binding());
  presenter.showProgress();
  model.percent.set(55);
  model.percent.set(59);
  EXPECT_EQ(drain(out.read.get()),
            "Installing Sample [..............................] 0% Please wait.\n"
            "Installing Sample [################..............] 55% Please wait.\n");

  presenter.runAlert("Install Sample", "Unable to download.", "OK");
  EXPECT_EQ(drain(out.read.get()), "Install Sample\n\nUnable to download.\n");
  const std::vector<TextRun> runs = {{"See the ", std::nullopt},
                                     {"system requirements", "https://h.example/req"},
                                     {".", std::nullopt}};
  EXPECT_EQ(presenter.runErrorDialog("Install Sample", runs, "OK"), 1);
  EXPECT_EQ(drain(out.read.get()),
            "Install Sample\n\nSee the system requirements <https://h.example/req>.\n");
  presenter.closeProgress();
  EXPECT_EQ(drain(out.read.get()), "");
}

// The downloads of a first install as the Downloader reports them, on a dumb terminal 40
// columns wide: the installer, its signature, then the revocation lists in a second run.
TEST(TerminalPresenterTest, DumbTerminalGetsWholeLinesThatNeverStartAgainFromZero) {
  ScopedEnvVar term("TERM", "dumb");
  Terminal tty(true, 40);
  Pipe in;
  Model model;
  platform::Observable<TransferAmounts> transfer;
  ProgressBinding binding = model.binding();
  binding.transfer = &transfer;
  TerminalPresenter presenter(tty.slave.get(), in.read.get());
  presenter.bindProgress(binding);
  // A bar moves only for a large file; a small one arrives in one piece.
  auto fetch = [&](const char* name, std::int64_t size, std::int64_t arrived) {
    const bool large = size > 10000;
    for (std::int64_t received = large ? 5000 : arrived; received <= arrived; received += 5000) {
      transfer.set({received, size, 0, name});
      if (large)
        model.percent.set(100.0 * static_cast<double>(received) / static_cast<double>(size));
    }
    transfer.set({});
    model.percent.set(0);
  };
  presenter.showProgress();
  fetch("installer", 25000, 25000);
  fetch("installer.p7", 2000, 1000);  // broken off: a failure tells of it
  fetch("installer.p7", 2000, 2000);
  presenter.closeProgress();
  model.pleaseWait.set("Verifying download...");
  presenter.showProgress();
  fetch("root.crl", 0, 1000);                         // no announced length
  transfer.set({1000, 1000, 0, "intermediate.crl"});  // the run closes before it resets
  presenter.closeProgress();
  EXPECT_EQ(drain(tty.master.get()),
            "Installing Sample [..............................] 0% Please wait.\n"
            "Installing Sample [######........................] 20% 5.0 kB / 25.0 kB Please "
            "wait.\n"
            "Installing Sample [############..................] 40% 10.0 kB / 25.0 kB Please "
            "wait.\n"
            "Installing Sample [##################............] 60% 15.0 kB / 25.0 kB Please "
            "wait.\n"
            "Installing Sample [########################......] 80% 20.0 kB / 25.0 kB Please "
            "wait.\n"
            "Installing Sample [##############################] 100% 25.0 kB / 25.0 kB Please "
            "wait.\n"
            "Installing Sample: installer.p7 2.0 kB Please wait.\n"
            "Installing Sample [..............................] 0% Verifying download...\n"
            "Installing Sample: root.crl 1.0 kB Verifying download...\n"
            "Installing Sample: intermediate.crl 1.0 kB Verifying download...\n");
}

TEST(TerminalPresenterTest, OnATerminalTheLineIsRedrawnInPlaceAndCleared) {
  ScopedEnvVar term("TERM", "xterm");
  Terminal tty;
  ASSERT_GE(tty.slave.get(), 0);
  Pipe in;
  Model model;
  std::chrono::steady_clock::time_point now{};
  TerminalPresenter presenter(tty.slave.get(), in.read.get(), [&now] { return now; });
  model.percent.set(30);
  presenter.bindProgress(model.binding());
  EXPECT_EQ(drain(tty.master.get()), "") << "nothing before the window shows";
  presenter.showProgress();
  const std::string first = drain(tty.master.get());
  EXPECT_EQ(first, "\rInstalling Sample [#########.....................] 30% Please wait.\x1b[K");
  model.percent.set(31);
  EXPECT_EQ(drain(tty.master.get()), "") << "a new percentage waits for the redraw interval";
  model.pleaseWait.set("Verifying download...");  // a new text is drawn at once
  const std::string redrawn = drain(tty.master.get());
  EXPECT_EQ(redrawn.substr(redrawn.rfind('\r')),
            "\rInstalling Sample [#########.....................] 31% Verifying download...\x1b[K");
  model.percent.set(31);  // the same line is never written twice
  EXPECT_EQ(drain(tty.master.get()), "");
  model.percent.set(32);
  EXPECT_EQ(drain(tty.master.get()), "") << "the interval is measured by the presenter's clock";
  now += std::chrono::milliseconds(100);
  model.percent.set(33);
  EXPECT_EQ(drain(tty.master.get()),
            "\rInstalling Sample [#########.....................] 33% Verifying download...\x1b[K");
  presenter.closeProgress();
  const std::string rest = drain(tty.master.get());
  EXPECT_EQ(rest.substr(rest.size() - 4), "\r\x1b[K");
  model.percent.set(90);
  EXPECT_EQ(drain(tty.master.get()), "") << "a closed window follows nothing";
}

TEST(TerminalPresenterTest, TheLineFitsTheTerminalWidth) {
  ScopedEnvVar term("TERM", "xterm");
  Terminal tty;
  ASSERT_GE(tty.slave.get(), 0);
  winsize size{};
  size.ws_col = 50;
  size.ws_row = 20;
  ASSERT_EQ(ioctl(tty.slave.get(), TIOCSWINSZ, &size), 0);
  Pipe in;
  Model model;
  TerminalPresenter presenter(tty.slave.get(), in.read.get());
  presenter.bindProgress(model.binding());
  presenter.showProgress();
  EXPECT_EQ(drain(tty.master.get()), "\rInstalling Sample [............] 0% Please wait.\x1b[K");
  presenter.closeProgress();
}

TEST(TerminalPresenterTest, AlertOnATerminalWaitsForEnterAfterEndingTheProgressLine) {
  ScopedEnvVar term("TERM", "xterm");
  Terminal out, in;
  ASSERT_GE(out.slave.get(), 0);
  ASSERT_GE(in.slave.get(), 0);
  Model model;  // the binding's owner outlives the window
  TerminalPresenter presenter(out.slave.get(), in.slave.get());
  presenter.bindProgress(model.binding());
  presenter.showProgress();
  drain(out.master.get());
  ASSERT_EQ(write(in.master.get(), "x\ny", 3), 3);
  presenter.runAlert("Title", "Message", "OK");
  EXPECT_EQ(drain(out.master.get()), "\nTitle\n\nMessage\n[OK] (Enter) ");
  // The line up to Enter was read, nothing after it.
  EXPECT_EQ(drain(in.slave.get()), "y");
  EXPECT_FALSE(hasInput(in.slave.get()));
}

TEST(TerminalPresenterTest, OnlyTwoTerminalsWaitAndCtrlDEndsThePromptLine) {
  // Standard error into a file (2>log.txt) with a person at the keyboard: no prompt, no
  // wait, the typed line stays unread.
  Terminal in(false);
  Pipe errors;
  ASSERT_EQ(write(in.master.get(), "typed\n", 6), 6);
  TerminalPresenter(errors.write.get(), in.slave.get()).runAlert("Title", "Message", "OK");
  EXPECT_EQ(drain(errors.read.get()), "Title\n\nMessage\n");
  EXPECT_TRUE(hasInput(in.slave.get()));

  // Both terminals: Ctrl-D ends the wait like Enter, on a line of its own.
  Terminal out;
  drain(in.slave.get());
  ASSERT_EQ(write(in.master.get(), "\x04", 1), 1);
  TerminalPresenter(out.slave.get(), in.slave.get()).runAlert("Title", "Message", "OK");
  EXPECT_EQ(drain(out.master.get()), "Title\n\nMessage\n[OK] (Enter) \n");
}

TEST(TerminalPresenterTest, MessagesWrapToTheTerminalAndLinksStandApart) {
  Terminal out(true, 24);
  Pipe in;
  TerminalPresenter presenter(out.slave.get(), in.read.get());
  presenter.runAlert("Installeren\u2026Sample", "Unable to download Halvex Orvel now.", "OK");
  EXPECT_EQ(drain(out.master.get()),
            "Installeren\u2026 Sample\n\nUnable to download\nHalvex\u00A0Orvel now.\n");
  const std::vector<TextRun> runs = {{"Halvex Orvel の", std::nullopt},
                                     {"システム要件", "https://h.example/r/"},
                                     {"を確認し、システムを更新してください。", std::nullopt}};
  presenter.runErrorDialog("Install Sample", runs, "OK");
  EXPECT_EQ(drain(out.master.get()),
            "Install Sample\n\nHalvex\u00A0Orvel のシステム\n要件\n<https://h.example/r/>\n"
            "を確認し、システムを更新\nしてください。\n");
}

// On a terminal only: a progress line nobody sees cannot be what a Ctrl-C answers.
TEST(TerminalPresenterTest, CtrlCIsTheCancelButtonWhileTheProgressShows) {
  Terminal out;
  Pipe in;
  Model model;
  TerminalPresenter presenter(out.slave.get(), in.read.get());
  presenter.bindProgress(model.binding());
  presenter.showProgress();
  raise(SIGINT);
  EXPECT_TRUE(platform::runMainLoopUntil([&] { return model.cancels == 1; }, 2000));

  presenter.setCancelEnabled(false);
  raise(SIGINT);
  platform::runMainLoopUntil([] { return false; }, 100);
  EXPECT_EQ(model.cancels, 1) << "a disabled Cancel ignores Ctrl-C";

  presenter.setCancelEnabled(true);
  raise(SIGINT);
  EXPECT_TRUE(platform::runMainLoopUntil([&] { return model.cancels == 2; }, 2000));

  presenter.closeProgress();
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace ui
