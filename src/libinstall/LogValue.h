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

/// value with each byte of these written as '#' and its three octal digits ("#012" for a
/// line feed, as system-log daemons write controls): the controls U+0000 to U+001F, U+007F
/// and U+0080 to U+009F, the bidirectional controls U+202A to U+202E and U+2066 to U+2069,
/// '#' itself ("#043"), and every byte that is not part of well-formed UTF-8. Every other
/// byte is itself, so replacing each "#ddd" by its byte gives value back. When the result
/// is longer than maxBytes, it is cut to at most maxBytes, never inside an escape or a
/// character, and followed by " ... [N bytes cut]", N counting the bytes of value left out.
std::string loggableValue(std::string_view value, std::size_t maxBytes = kMaxLoggedValueBytes);

}  // namespace install
