#pragma once
// How many terminal columns UTF-8 text takes, so a line redrawn in place never wraps.

#include <string>
#include <string_view>

namespace ui {

/// Columns text takes on a terminal: two for East Asian wide and full-width characters,
/// none for combining marks, one for the rest. Bytes that are not UTF-8 count one each.
int displayWidth(std::string_view text);

/// The longest prefix of text that takes at most columns columns; never splits a
/// character.
std::string cutToWidth(std::string_view text, int columns);

}  // namespace ui
