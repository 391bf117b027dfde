#include "platform/runloop/NotificationCenter.h"

#include <glib.h>

#include <algorithm>

namespace platform {

void NotificationCenter::addObserver(const void* observer, std::string name, Handler handler) {
  registrations_.push_back({observer, std::move(name), std::move(handler), ++lastId_});
}

void NotificationCenter::removeObserver(const void* observer) {
  std::erase_if(registrations_,
                [observer](const Registration& r) { return r.observer == observer; });
}

void NotificationCenter::post(const Notification& n) {
  // Handlers may add or remove registrations (an observer released inside its own
  // handler), so walk a snapshot of ids and look each one up again before calling it.
  std::vector<unsigned> ids;
  for (const auto& r : registrations_)
    if (r.name == n.name) ids.push_back(r.id);
  for (unsigned id : ids) {
    auto it = std::find_if(registrations_.begin(), registrations_.end(),
                           [id](const Registration& r) { return r.id == id; });
    if (it == registrations_.end()) continue;
    Handler handler = it->handler;  // the registration may go away while it runs
    handler(n);
  }
}

NotificationQueue::~NotificationQueue() {
  if (idleSource_ != 0) g_source_remove(idleSource_);
}

void NotificationQueue::enqueue(Notification n, PostingStyle) {
  std::erase_if(queue_,
                [&n](const Notification& q) { return q.name == n.name && q.object == n.object; });
  queue_.push_back(std::move(n));
  scheduleIdle();
}

void NotificationQueue::scheduleIdle() {
  if (idleSource_ != 0) return;
  idleSource_ = g_idle_add_full(
      G_PRIORITY_DEFAULT_IDLE,
      [](gpointer self) -> gboolean {
        static_cast<NotificationQueue*>(self)->postQueued();
        return G_SOURCE_REMOVE;
      },
      this, nullptr);
}

void NotificationQueue::postQueued() {
  idleSource_ = 0;
  // One notification per idle turn: what a handler queues waits for the next turn, and
  // anything the loop has pending (a transfer's callbacks) runs in between.
  if (queue_.empty()) return;
  Notification n = std::move(queue_.front());
  queue_.pop_front();
  if (!queue_.empty()) scheduleIdle();
  center_.post(n);
}

}  // namespace platform
