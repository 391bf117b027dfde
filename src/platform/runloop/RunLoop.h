#pragma once
// The process's one run loop. Every callback of the platform layer (downloads, queued
// notifications, windows) arrives on the thread that runs it; nothing here is thread-safe.

#include <functional>

namespace platform {

/// Runs the loop until quitMainLoop() is called; returns then. May be called again.
void runMainLoop();

/// Makes the innermost runMainLoop() return once the current callback has returned.
void quitMainLoop();

/// Calls fn once from the loop when it is idle; never from inside this call.
void callWhenIdle(std::function<void()> fn);

/// Runs the loop until done() is true or timeoutMs has passed, whichever comes first;
/// returns done(). For tests and for waits that must keep the loop turning.
bool runMainLoopUntil(const std::function<bool()>& done, int timeoutMs);

}  // namespace platform
