#pragma once
// Notifications by name: the stand-in for the default notification center and the
// default notification queue with its post-when-idle style.

#include <any>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace platform {

/// A dictionary of boxed values, as a notification's userInfo. A key that is absent is
/// a missing value; callers read with userInfoValue, which treats a wrong type as missing.
using UserInfo = std::map<std::string, std::any>;

struct Notification {
  std::string name;
  const void* object = nullptr;  ///< the sender; identity only, never dereferenced here
  UserInfo userInfo;
};

/// The value of n's key as a T; T{} when the key is missing or holds another type (an
/// observer takes a name from any sender).
template <typename T>
T userInfoValue(const Notification& n, const char* key) {
  const auto it = n.userInfo.find(key);
  const T* value = it == n.userInfo.end() ? nullptr : std::any_cast<T>(&it->second);
  return value ? *value : T{};
}

/// Delivers a posted notification synchronously to the observers of its name.
class NotificationCenter {
 public:
  using Handler = std::function<void(const Notification&)>;

  /// Registers handler for every notification named name, from any sender. observer
  /// only identifies the registration for removeObserver().
  void addObserver(const void* observer, std::string name, Handler handler);

  /// Removes every registration of observer. Safe inside a handler: a removed
  /// registration is not called for the rest of the current post.
  void removeObserver(const void* observer);

  /// Calls, in registration order, every handler registered for n.name.
  void post(const Notification& n);

 private:
  struct Registration {
    const void* observer;
    std::string name;
    Handler handler;
    unsigned id;
  };
  std::vector<Registration> registrations_;
  unsigned lastId_ = 0;
};

enum class PostingStyle { WhenIdle = 1 };

/// Queues notifications and posts them to a center from the run loop once it is idle,
/// never inside the call that queued them.
class NotificationQueue {
 public:
  explicit NotificationQueue(NotificationCenter& center) : center_(center) {}
  ~NotificationQueue();
  NotificationQueue(const NotificationQueue&) = delete;
  NotificationQueue& operator=(const NotificationQueue&) = delete;

  /// Queues n. Coalesces on name and sender: a queued notification with the same name
  /// and object is dropped and n takes its turn at the end.
  void enqueue(Notification n, PostingStyle style = PostingStyle::WhenIdle);

  /// Number of notifications waiting to be posted.
  std::size_t pending() const { return queue_.size(); }

 private:
  void scheduleIdle();
  void postQueued();

  NotificationCenter& center_;
  std::deque<Notification> queue_;
  unsigned idleSource_ = 0;
};

}  // namespace platform
