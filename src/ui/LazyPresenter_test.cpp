#include "ui/LazyPresenter.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "ui/testing/RecordingPresenter.h"

namespace ui {
namespace {

using Calls = std::vector<std::string>;

bool gtkIsMapped() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find("libgtk-3") != std::string::npos;
}

// Points a standard stream at a pipe for the life of the object.
class RedirectedFd {
 public:
  explicit RedirectedFd(int target) : target_(target), saved_(dup(target)) {
    if (pipe(fds_) != 0) return;
    fcntl(fds_[0], F_SETFL, O_NONBLOCK);
    dup2(target == 0 ? fds_[0] : fds_[1], target);
  }
  ~RedirectedFd() {
    dup2(saved_, target_);
    close(saved_);
    close(fds_[0]);
    close(fds_[1]);
  }
  std::string read() {
    std::string out;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(fds_[0], buffer, sizeof buffer)) > 0) out.append(buffer, n);
    return out;
  }

 private:
  int target_;
  int saved_;
  int fds_[2] = {-1, -1};
};

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
    EXPECT_EQ(errors.read(), "Install Sample\n\nUnable to download Halvex Orvel.\n");
  }
  EXPECT_FALSE(gtkIsMapped());
  if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
}

}  // namespace
}  // namespace ui
