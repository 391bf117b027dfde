#include "platform/text/CharacterWidth.h"

#include <glib.h>

namespace platform {

int characterColumns(char32_t c) {
  const auto u = static_cast<gunichar>(c);
  if (g_unichar_iszerowidth(u)) return 0;
  return g_unichar_iswide(u) ? 2 : 1;
}

}  // namespace platform
