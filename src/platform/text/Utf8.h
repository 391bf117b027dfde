#pragma once
// Reading UTF-8 one character at a time, with GLib's validation, so that the layers above
// can tell characters from stray bytes without a GLib header of their own.

#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

struct Utf8Character {
  char32_t value;
  std::size_t length;  ///< bytes of its UTF-8 form, 1 to 4
};

/// The character that text starts with; nothing when text is empty or does not start with
/// a well-formed UTF-8 sequence (a stray continuation byte, a cut or overlong sequence, a
/// surrogate, a value past U+10FFFF). A NUL byte is the character U+0000.
std::optional<Utf8Character> leadingUtf8Character(std::string_view text);

}  // namespace platform
