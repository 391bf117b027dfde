#pragma once
// The developer trace: takes a printf-style format and its arguments and writes nothing.
// Warnings that must never reach the user or the install log go here.

/// Accepts any format and arguments; has no effect.
void DebugTrace(const char* format, ...);
