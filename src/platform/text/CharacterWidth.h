#pragma once
// How many terminal columns one character takes, from the Unicode data GLib carries, so
// the ui layer can lay out text without a GLib header of its own.

namespace platform {

/// Columns c takes on a terminal: 2 for East Asian wide and full-width characters, 0 for
/// combining marks and other zero-width characters, 1 for the rest.
int characterColumns(char32_t c);

}  // namespace platform
