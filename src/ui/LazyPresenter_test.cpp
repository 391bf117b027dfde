#include "ui/LazyPresenter.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "ui/testing/RecordingPresenter.h"
#include "ui/testing/RedirectedFd.h"

namespace ui {
namespace {

using Calls = std::vector<std::string>;
using testing::gtkIsMapped;
using testing::RedirectedFd;

struct Choice {
  int chosen = 0;
  testing::RecordingPresenter* presenter = nullptr;
  LazyPresenter::Chooser chooser() {
    return [this] {
      ++chosen;
      auto p = std::make_unique<testing::RecordingPresenter>();
      presenter = p.get();
      return p;
    };
  }
};

TEST(LazyPresenterTest, RecordsUntilAWindowMustShowThenHandsOverInOrder) {
  Choice choice;
  LazyPresenter lazy(choice.chooser());
  platform::Observable<double> percent;
  lazy.bindProgress({nullptr, nullptr, nullptr, &percent, nullptr});
  lazy.setCancelEnabled(false);
  lazy.closeProgress();
  EXPECT_EQ(choice.chosen, 0);

  lazy.showProgress();
  ASSERT_EQ(choice.chosen, 1);
  EXPECT_EQ(choice.presenter->calls, (Calls{"bind", "disable", "show"}));
  EXPECT_EQ(choice.presenter->binding.percent, &percent);

  lazy.setCancelEnabled(true);
  lazy.closeProgress();
  EXPECT_EQ(lazy.runErrorDialog("T", {}, "OK"), 1);
  EXPECT_EQ(choice.chosen, 1);
  EXPECT_EQ(choice.presenter->calls,
            (Calls{"bind", "disable", "show", "enable", "close", "dialog:T|OK"}));
}

TEST(LazyPresenterTest, AnAlertAloneChoosesWithoutReplayingAnything) {
  Choice choice;
  LazyPresenter lazy(choice.chooser());
  lazy.runAlert("Title", "Message", "OK");
  EXPECT_EQ(choice.chosen, 1);
  EXPECT_EQ(choice.presenter->calls, Calls{"alert:Title|Message|OK"});
}

TEST(LazyPresenterTest, WithoutDisplayTheTerminalShowsOnStandardErrorAndGtkStaysUnloaded) {
  const std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  {
    RedirectedFd input(0), errors(2);
    auto presenter = makeLazyPresenter();
    presenter->setCancelEnabled(true);
    presenter->closeProgress();
    presenter->runAlert("Install Sample", "Unable to download Halvex Orvel.", "OK");
    EXPECT_EQ(errors.read(), "Install Sample\n\nUnable to download Halvex\u00A0Orvel.\n");
  }
  EXPECT_FALSE(gtkIsMapped());
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace ui
