#pragma once
// Text laid out for a terminal: how many columns UTF-8 text takes, cutting it to a width
// and wrapping paragraphs, so nothing breaks mid-word or redraws over itself.

#include <cstdint>
#include <string>
#include <string_view>

namespace ui {

/// Columns text takes on a terminal: two for East Asian wide and full-width characters,
/// none for combining marks, one for the rest. Bytes that are not UTF-8 count one each.
int displayWidth(std::string_view text);

/// The longest prefix of text that takes at most columns columns; never splits a
/// character.
std::string cutToWidth(std::string_view text, int columns);

/// text with line feeds added so that no line takes more than columns columns; its own
/// line feeds stay. A line breaks at spaces (the space is dropped), or between two
/// characters of which one is a Chinese or Japanese wide character, but never before
/// closing punctuation (。、，）」!?, …) nor after opening punctuation; a word wider than
/// a whole line is cut where it must be, except a web address (a word with "://"), which
/// starts a new line when it does not fit and is written whole however wide it is.
/// columns of 0 or less leaves text as it is.
std::string wrapText(std::string_view text, int columns);

/// Whether text begins with punctuation that closes what precedes it (",", "。", "）", …).
bool startsWithClosingPunctuation(std::string_view text);

/// bytes in decimal units without words: "999 B", "1.5 kB", "84.1 MB", "2.0 GB".
std::string formatSize(std::uint64_t bytes);

}  // namespace ui
