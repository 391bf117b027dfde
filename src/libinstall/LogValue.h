#pragma once
// The form in which an outside text (an argument, an executable name, a property-list value)
// enters the install log: one event must stay one record, and no value may be long enough
// to push its record past what the system log carries.

#include <cstddef>
#include <string>
#include <string_view>

namespace install {

/// Longest logged form of one value, in bytes, before its cut marker.
inline constexpr std::size_t kMaxLoggedValueBytes = 4096;

/// value with every control character (0x00 to 0x1F and 0x7F) written as '#' and three
/// octal digits ("#012" for a line feed), as system-log daemons write them. When that is
/// longer than maxBytes, it is cut to at most maxBytes, never inside an escape or a UTF-8
/// sequence, and followed by " ... [N bytes cut]", N counting the bytes of value left out.
std::string loggableValue(std::string_view value, std::size_t maxBytes = kMaxLoggedValueBytes);

}  // namespace install
