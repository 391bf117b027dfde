#pragma once
// Reading numbers out of version texts, the way the platform's string scanner and its
// string-to-integer conversion read them. Texts are UTF-8.
//
// White space is what the platform's "white space and newline" set holds: U+0009 to U+000D,
// U+0020, U+0085, U+00A0, U+1680, U+2000 to U+200A, U+2028, U+2029, U+202F, U+205F and
// U+3000. Digits are the ASCII digits only. A sign is "+" or "-", directly before the first
// digit. A value beyond the 32-bit range is clamped to the nearest 32-bit limit, and every
// digit of it is consumed.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace install {

/// The position of the first character at or after pos that is not white space.
std::size_t skipWhiteSpace(std::string_view text, std::size_t pos);

/// Skips white space, then reads an optional sign and one or more digits into value and
/// moves pos past them: true. Without a digit: false, pos and value untouched.
bool scanInt(std::string_view text, std::size_t& pos, std::int32_t& value);

/// Skips white space, then matches literal exactly and moves pos past it: true. Otherwise
/// false, pos untouched.
bool scanString(std::string_view text, std::size_t& pos, std::string_view literal);

/// The integer at the start of text after white space, as scanInt reads it; 0 when there is
/// no number there. Text after the digits is ignored.
std::int32_t stringIntValue(std::string_view text);

}  // namespace install
