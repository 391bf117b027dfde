#include "platform/runloop/NotificationCenter.h"

#include <gtest/gtest.h>

#include "platform/runloop/RunLoop.h"

namespace platform {
namespace {

TEST(NotificationQueue, PostsFromTheLoopNeverInsideEnqueue) {
  NotificationCenter center;
  NotificationQueue queue(center);
  std::vector<std::string> seen;
  center.addObserver(&seen, "Done", [&](const Notification& n) {
    seen.push_back(n.name + ":" + std::to_string(std::any_cast<int>(n.userInfo.at("k"))));
  });
  queue.enqueue({"Done", nullptr, {{"k", 1}}});
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(runMainLoopUntil([&] { return !seen.empty(); }, 2000));
  EXPECT_EQ(seen, std::vector<std::string>{"Done:1"});
}

TEST(NotificationQueue, CoalescesOnNameAndSenderKeepingTheLatest) {
  NotificationCenter center;
  NotificationQueue queue(center);
  int a = 0, b = 0;
  std::vector<int> seen;
  auto record = [&](const Notification& n) {
    seen.push_back(std::any_cast<int>(n.userInfo.at("k")));
  };
  center.addObserver(&seen, "X", record);
  center.addObserver(&seen, "Y", record);
  queue.enqueue({"X", &a, {{"k", 1}}});
  queue.enqueue({"X", &b, {{"k", 2}}});  // other sender: kept
  queue.enqueue({"Y", &a, {{"k", 3}}});  // other name: kept
  queue.enqueue({"X", &a, {{"k", 4}}});  // replaces the first
  runMainLoopUntil([&] { return queue.pending() == 0; }, 2000);
  EXPECT_EQ(seen, (std::vector<int>{2, 3, 4}));
}

TEST(NotificationCenter, ObserverRemovedInsideAHandlerIsNotCalledAgain) {
  NotificationCenter center;
  int first = 0, second = 0;
  int calls = 0;
  center.addObserver(&first, "N", [&](const Notification&) {
    ++calls;
    center.removeObserver(&second);
  });
  center.addObserver(&second, "N", [&](const Notification&) { ++calls; });
  center.post({"N", nullptr, {}});
  EXPECT_EQ(calls, 1);
  center.post({"M", nullptr, {}});
  EXPECT_EQ(calls, 1);
}

}  // namespace
}  // namespace platform
