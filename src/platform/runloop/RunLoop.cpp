#include "platform/runloop/RunLoop.h"

#include <glib.h>

#include <memory>
#include <vector>

namespace platform {
namespace {

struct LoopDeleter {
  void operator()(GMainLoop* loop) const { g_main_loop_unref(loop); }
};
using LoopPtr = std::unique_ptr<GMainLoop, LoopDeleter>;

// Nested runs (a modal wait inside a callback) each get their own GMainLoop; quit ends
// the innermost one, as a run loop's stop would.
std::vector<GMainLoop*>& runningLoops() {
  static std::vector<GMainLoop*> loops;
  return loops;
}

gboolean runIdleCallback(gpointer data) {
  std::unique_ptr<std::function<void()>> fn(static_cast<std::function<void()>*>(data));
  (*fn)();
  return G_SOURCE_REMOVE;
}

}  // namespace

void runMainLoop() {
  LoopPtr loop(g_main_loop_new(nullptr, FALSE));
  runningLoops().push_back(loop.get());
  g_main_loop_run(loop.get());
  runningLoops().pop_back();
}

void quitMainLoop() {
  if (!runningLoops().empty()) g_main_loop_quit(runningLoops().back());
}

void callWhenIdle(std::function<void()> fn) {
  g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, runIdleCallback,
                  new std::function<void()>(std::move(fn)), nullptr);
}

bool runMainLoopUntil(const std::function<bool()>& done, int timeoutMs) {
  const gint64 deadline = g_get_monotonic_time() + gint64{timeoutMs} * 1000;
  while (!done()) {
    if (g_get_monotonic_time() >= deadline) break;
    // Block at most until the deadline, so a quiet loop still times out.
    guint timer = g_timeout_add(
        static_cast<guint>(std::max<gint64>(1, (deadline - g_get_monotonic_time()) / 1000)),
        [](gpointer) -> gboolean { return G_SOURCE_REMOVE; }, nullptr);
    g_main_context_iteration(nullptr, TRUE);
    if (GSource* source = g_main_context_find_source_by_id(nullptr, timer))
      g_source_destroy(source);
  }
  return done();
}

}  // namespace platform
