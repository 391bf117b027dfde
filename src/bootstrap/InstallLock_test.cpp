#include "bootstrap/InstallLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/runloop/RunLoop.h"
#include "platform/testing/ScratchDir.h"
#include "ui/testing/RecordingPresenter.h"

namespace bootstrap {
namespace {

using namespace std::chrono_literals;

class InstallLockTest : public ::testing::Test {
 protected:
  void SetUp() override { ::chmod(dir_.c_str(), 0700); }

  std::unique_ptr<platform::UserLock> otherRun() {
    auto lock = platform::UserLock::open(dir_.c_str(), kInstallLockName);
    EXPECT_TRUE(lock && lock->tryLock());
    return lock;
  }

  platform::testing::ScratchDir scratch_;
  std::string dir_ = scratch_.mkdirs("run");
  ui::testing::RecordingPresenter presenter_;
  InstallLock lock_{presenter_, 10ms};
};

TEST_F(InstallLockTest, AWaitShowsAPulsingBarWithCancelUntilTheOtherRunLetsGo) {
  auto other = otherRun();
  bool pulsedWhileShown = false;
  platform::callWhenIdle([&] {
    pulsedWhileShown = presenter_.showing && presenter_.cancelEnabled && lock_.pulsing().get();
    other.reset();
  });
  EXPECT_FALSE(lock_.cancel()) << "nothing waits yet";
  ASSERT_TRUE(lock_.acquire(dir_.c_str(), false));
  EXPECT_TRUE(pulsedWhileShown);
  EXPECT_EQ(presenter_.calls, (std::vector<std::string>{"enable", "show", "close", "disable"}));
  EXPECT_FALSE(lock_.pulsing().get());
  EXPECT_FALSE(platform::UserLock::open(dir_.c_str(), kInstallLockName)->tryLock());
  lock_.release();
  EXPECT_TRUE(platform::UserLock::open(dir_.c_str(), kInstallLockName)->tryLock());
}

TEST_F(InstallLockTest, CancelEndsASilentWaitWithoutTheLockOrAWindow) {
  auto other = otherRun();
  platform::callWhenIdle([&] { EXPECT_TRUE(lock_.cancel()); });
  EXPECT_FALSE(lock_.acquire(dir_.c_str(), true));
  EXPECT_TRUE(presenter_.calls.empty());
  EXPECT_FALSE(lock_.pulsing().get());
  other.reset();
  EXPECT_TRUE(otherRun() != nullptr) << "the cancelled run holds nothing";
}

}  // namespace
}  // namespace bootstrap
