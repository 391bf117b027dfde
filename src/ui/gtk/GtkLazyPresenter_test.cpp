// The lazy presenter against the real module: GTK is mapped only once a window shows, and a
// display that cannot be opened falls back to the terminal. Links no GTK itself.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

#include "platform/runloop/RunLoop.h"

#include "ui/Presenter.h"
#include "ui/testing/RedirectedFd.h"

namespace ui {
namespace {

using testing::gtkIsMapped;
using testing::RedirectedFd;

bool hasDisplay() {
  return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
}

TEST(GtkLazyPresenterTest, GtkIsLoadedOnlyWhenTheFirstWindowShows) {
  ASSERT_TRUE(hasDisplay()) << "run under a virtual X server or Wayland compositor";
  platform::Observable<double> percent{40};
  auto presenter = makeLazyPresenter();
  presenter->bindProgress({nullptr, nullptr, nullptr, &percent, nullptr});
  presenter->setCancelEnabled(false);
  presenter->closeProgress();
  EXPECT_FALSE(gtkIsMapped());
  presenter->showProgress();
  EXPECT_TRUE(gtkIsMapped());
  presenter->closeProgress();
}

// A person who started the program from a terminal sees the window: Ctrl-C there is the
// window's Cancel button, and follows its enabled state.
TEST(GtkLazyPresenterTest, WhileTheWindowShowsCtrlCIsItsCancel) {
  ASSERT_TRUE(hasDisplay()) << "run under a virtual X server or Wayland compositor";
  platform::Observable<double> percent{40};
  int cancels = 0;
  auto presenter = makeLazyPresenter();
  presenter->bindProgress({nullptr, nullptr, nullptr, &percent, [&cancels] { ++cancels; }});
  presenter->showProgress();
  ASSERT_TRUE(gtkIsMapped());
  raise(SIGINT);
  EXPECT_TRUE(platform::runMainLoopUntil([&] { return cancels == 1; }, 2000));
  presenter->setCancelEnabled(false);
  raise(SIGINT);
  platform::runMainLoopUntil([] { return false; }, 100);
  EXPECT_EQ(cancels, 1) << "a disabled Cancel ignores Ctrl-C";
  presenter->closeProgress();
  struct sigaction current {};
  sigaction(SIGINT, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL) << "a closed window takes no Ctrl-C";
}

TEST(GtkLazyPresenterTest, DisplayThatCannotOpenFallsBackToTheTerminal) {
  setenv("DISPLAY", ":4711", 1);
  unsetenv("WAYLAND_DISPLAY");
  RedirectedFd input(0), errors(2);
  auto presenter = makeLazyPresenter();
  presenter->runAlert("Install Sample", "Unable to download Halvex Orvel.", "OK");
  EXPECT_NE(errors.read().find("Install Sample\n\nUnable to download Halvex\u00A0Orvel.\n"),
            std::string::npos);
}

}  // namespace
}  // namespace ui
