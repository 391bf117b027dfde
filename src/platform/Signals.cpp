#include "platform/Signals.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>

namespace platform {
namespace {

gboolean onInterrupt(gpointer data) {
  (*static_cast<std::function<void()>*>(data))();
  return G_SOURCE_CONTINUE;
}

}  // namespace

InterruptWatch::InterruptWatch(std::function<void()> fn)
    : fn_(std::make_unique<std::function<void()>>(std::move(fn))),
      sourceId_(g_unix_signal_add(SIGINT, onInterrupt, fn_.get())) {}

// Removing the last watch of a signal makes GLib restore its default action.
InterruptWatch::~InterruptWatch() {
  g_source_remove(sourceId_);
}

}  // namespace platform
