#include "ui/TerminalText.h"

#include <charconv>
#include <vector>

#include "platform/text/CharacterWidth.h"

namespace ui {
namespace {

std::size_t sequenceLength(uint8_t lead) {
  if (lead < 0x80) return 1;
  if (lead >> 5 == 0x6) return 2;
  if (lead >> 4 == 0xE) return 3;
  if (lead >> 3 == 0x1E) return 4;
  return 0;
}

// Decodes the character at text[i]; returns its length in bytes (1 for a stray byte).
std::size_t decode(std::string_view text, std::size_t i, char32_t& c) {
  const auto lead = static_cast<uint8_t>(text[i]);
  const std::size_t length = sequenceLength(lead);
  c = lead;
  if (length <= 1 || i + length > text.size()) return 1;
  char32_t value = lead & (0x7F >> length);
  for (std::size_t k = 1; k < length; ++k) {
    const auto next = static_cast<uint8_t>(text[i + k]);
    if (next >> 6 != 0x2) return 1;
    value = (value << 6) | (next & 0x3F);
  }
  c = value;
  return length;
}

bool oneOf(char32_t c, std::u32string_view set) {
  return set.find(c) != std::u32string_view::npos;
}

// Punctuation that must not start a line (it belongs to what precedes it) and punctuation
// that must not end one.
bool isClosing(char32_t c) {
  return oneOf(c,
               U",.;:!?)]}%\u2019\u201D\u3001\u3002\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF01\uFF09"
               U"\u300D\u300F\u3011\u3015\u3009\u300B\u3017\uFF3D\uFF5D\u30FC\u30FB\u3005"
               U"\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085\u3087\u30A1\u30A3\u30A5"
               U"\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7");
}

bool isOpening(char32_t c) {
  return oneOf(c, U"([{\u2018\u201C\uFF08\u300C\u300E\u3010\u3014\u3008\u300A\u3016\uFF3B\uFF5B");
}

bool isHangul(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
         (c >= 0xAC00 && c <= 0xD7AF);
}

// Chinese and Japanese break between characters; Korean, like the alphabets, between
// words.
bool breaksBetween(char32_t before, char32_t after) {
  if (isClosing(after) || isOpening(before)) return false;
  auto ideographic = [](char32_t c) { return platform::characterColumns(c) == 2 && !isHangul(c); };
  return ideographic(before) || ideographic(after);
}

// A piece of a paragraph that stays on one line, and the spaces before it.
struct Word {
  std::size_t gapBegin, begin, end;
};

std::vector<Word> splitWords(std::string_view paragraph) {
  std::vector<Word> words;
  std::size_t gapBegin = 0;  // where the spaces before the next character began
  char32_t previous = 0;
  for (std::size_t i = 0; i < paragraph.size();) {
    char32_t c = 0;
    const std::size_t length = decode(paragraph, i, c);
    if (c == ' ') {
      if (gapBegin == std::string_view::npos) gapBegin = i;
    } else {
      const bool afterSpaces = gapBegin != std::string_view::npos && gapBegin < i;
      // Spaces before closing punctuation do not part it from its word.
      const bool startsWord = words.empty() || (afterSpaces && !isClosing(c)) ||
                              (!afterSpaces && breaksBetween(previous, c));
      if (startsWord) words.push_back({afterSpaces || words.empty() ? gapBegin : i, i, i});
      words.back().end = i + length;
      gapBegin = std::string_view::npos;
    }
    previous = c;
    i += length;
  }
  return words;
}

std::string wrapParagraph(std::string_view paragraph, int columns) {
  std::string out;
  int width = 0;
  const std::vector<Word> words = splitWords(paragraph);
  for (std::size_t n = 0; n < words.size(); ++n) {
    const std::string_view gap =
        paragraph.substr(words[n].gapBegin, words[n].begin - words[n].gapBegin);
    std::string_view rest = paragraph.substr(words[n].begin, words[n].end - words[n].begin);
    const int gapWidth = static_cast<int>(gap.size());
    if (n > 0 && width + gapWidth + displayWidth(rest) > columns) {
      out += '\n';
      width = 0;
    } else {
      // Spaces that open the paragraph are kept; those at a line break are dropped.
      out += gap;
      width += gapWidth;
    }
    // An address broken in two can be neither copied nor followed: it is written whole and
    // the terminal wraps it where it must.
    const bool whole = rest.find("://") != std::string_view::npos;
    while (!whole && width + displayWidth(rest) > columns) {
      std::string piece = cutToWidth(rest, columns - width);
      // A character wider than the whole line still has to go somewhere.
      if (piece.empty() && width == 0) piece = cutToWidth(rest, 2);
      out += piece + '\n';
      rest.remove_prefix(piece.size());
      width = 0;
    }
    out += rest;
    width += displayWidth(rest);
  }
  return out;
}

}  // namespace

int displayWidth(std::string_view text) {
  int width = 0;
  char32_t c = 0;
  for (std::size_t i = 0; i < text.size();) {
    i += decode(text, i, c);
    width += platform::characterColumns(c);
  }
  return width;
}

std::string cutToWidth(std::string_view text, int columns) {
  int width = 0;
  std::size_t i = 0;
  char32_t c = 0;
  while (i < text.size()) {
    const std::size_t length = decode(text, i, c);
    if (width + platform::characterColumns(c) > columns) break;
    width += platform::characterColumns(c);
    i += length;
  }
  return std::string(text.substr(0, i));
}

bool startsWithClosingPunctuation(std::string_view text) {
  if (text.empty()) return false;
  char32_t c = 0;
  decode(text, 0, c);
  return isClosing(c);
}

std::string wrapText(std::string_view text, int columns) {
  if (columns <= 0) return std::string(text);
  std::string out;
  while (true) {
    const std::size_t end = text.find('\n');
    out += wrapParagraph(text.substr(0, end), columns);
    if (end == std::string_view::npos) return out;
    out += '\n';
    text.remove_prefix(end + 1);
  }
}

std::string formatSize(std::uint64_t bytes) {
  if (bytes < 1000) return std::to_string(bytes) + " B";
  constexpr const char* kUnits[] = {"kB", "MB", "GB", "TB", "PB", "EB"};
  double value = static_cast<double>(bytes) / 1000;
  std::size_t unit = 0;
  while (value >= 1000 && unit + 1 < std::size(kUnits)) {
    value /= 1000;
    ++unit;
  }
  // to_chars, not printf: the decimal point must not follow the C library's locale.
  char number[32];
  const auto end =
      std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, 1);
  return std::string(number, end.ptr) + " " + kUnits[unit];
}

}  // namespace ui
