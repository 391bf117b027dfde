#include "ui/TerminalText.h"

#include <cstdint>

namespace ui {
namespace {

struct Range {
  char32_t first, last;
};

// The wide blocks of the scripts the catalogue holds (Hangul, CJK, kana, full-width forms)
// and their neighbours; a narrower table than the full Unicode data, but never too small
// for our own texts.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
    {0xFE30, 0xFE4F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F},
    {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
};
constexpr Range kCombining[] = {
    {0x0300, 0x036F}, {0x1AB0, 0x1AFF}, {0x1DC0, 0x1DFF}, {0x20D0, 0x20FF}, {0xFE20, 0xFE2F},
};

bool within(char32_t c, const Range* begin, const Range* end) {
  for (const Range* r = begin; r != end; ++r) {
    if (c >= r->first && c <= r->last) return true;
  }
  return false;
}

int columnsOf(char32_t c) {
  if (within(c, std::begin(kCombining), std::end(kCombining))) return 0;
  return within(c, std::begin(kWide), std::end(kWide)) ? 2 : 1;
}

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

}  // namespace

int displayWidth(std::string_view text) {
  int width = 0;
  char32_t c = 0;
  for (std::size_t i = 0; i < text.size();) {
    i += decode(text, i, c);
    width += columnsOf(c);
  }
  return width;
}

std::string cutToWidth(std::string_view text, int columns) {
  int width = 0;
  std::size_t i = 0;
  char32_t c = 0;
  while (i < text.size()) {
    const std::size_t length = decode(text, i, c);
    if (width + columnsOf(c) > columns) break;
    width += columnsOf(c);
    i += length;
  }
  return std::string(text.substr(0, i));
}

}  // namespace ui
