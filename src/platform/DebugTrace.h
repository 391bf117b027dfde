#pragma once
// The developer trace hook: callers hand it their trace and warning texts with the values
// named, and it has no effect. Keeping the calls keeps the texts with the code they explain.

namespace platform {

/// Takes a printf-style format and its arguments and does nothing: no output, no effect.
inline void DebugTrace(const char* /*format*/, ...) {}

}  // namespace platform
