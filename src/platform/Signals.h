#pragma once
// Ctrl-C as an event of the run loop, so the progress window's Cancel can answer it.

#include <functional>
#include <memory>

namespace platform {

/// While it lives, an interrupt (SIGINT) no longer ends the process: fn is called for it
/// from the run loop (never from the signal handler). Destroying it brings back the
/// default action. Create and destroy on the loop thread.
class InterruptWatch {
 public:
  explicit InterruptWatch(std::function<void()> fn);
  ~InterruptWatch();
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

 private:
  std::unique_ptr<std::function<void()>> fn_;
  unsigned sourceId_ = 0;
};

}  // namespace platform
