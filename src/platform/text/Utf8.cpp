#include "platform/text/Utf8.h"

#include <glib.h>

#include <algorithm>

namespace platform {

std::optional<Utf8Character> leadingUtf8Character(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const auto lead = static_cast<unsigned char>(text[0]);
  // GLib refuses a NUL, which in a byte string is just another character.
  if (lead < 0x80) return Utf8Character{lead, 1};
  const auto longest = static_cast<gssize>(std::min<std::size_t>(text.size(), 4));
  const gunichar c = g_utf8_get_char_validated(text.data(), longest);
  if (c == static_cast<gunichar>(-1) || c == static_cast<gunichar>(-2)) return std::nullopt;
  return Utf8Character{c, static_cast<std::size_t>(g_unichar_to_utf8(c, nullptr))};
}

}  // namespace platform
