#include "libinstall/NumberScanning.h"

#include <limits>

namespace install {

namespace {

// Length of the white-space character encoded at text[pos], 0 when there is none.
std::size_t whiteSpaceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) {
    return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0u;
  };
  const unsigned b0 = byte(0);
  if (b0 == ' ' || (b0 >= 0x09 && b0 <= 0x0D)) return 1;
  if (b0 == 0xC2) return (byte(1) == 0x85 || byte(1) == 0xA0) ? 2 : 0;
  if (b0 == 0xE1) return (byte(1) == 0x9A && byte(2) == 0x80) ? 3 : 0;  // U+1680
  if (b0 == 0xE3) return (byte(1) == 0x80 && byte(2) == 0x80) ? 3 : 0;  // U+3000
  if (b0 == 0xE2) {
    const unsigned b1 = byte(1), b2 = byte(2);
    if (b1 == 0x80 && ((b2 >= 0x80 && b2 <= 0x8A) || b2 == 0xA8 || b2 == 0xA9 || b2 == 0xAF)) {
      return 3;  // U+2000..U+200A, U+2028, U+2029, U+202F
    }
    if (b1 == 0x81 && b2 == 0x9F) return 3;  // U+205F
  }
  return 0;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

std::size_t skipWhiteSpace(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    std::size_t n = whiteSpaceLength(text, pos);
    if (n == 0) break;
    pos += n;
  }
  return pos;
}

bool scanInt(std::string_view text, std::size_t& pos, std::int32_t& value) {
  std::size_t at = skipWhiteSpace(text, pos);
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    negative = text[at] == '-';
    ++at;
  }
  if (at >= text.size() || !isDigit(text[at])) return false;
  // Accumulated as a magnitude that stops growing past the 32-bit range, so that any
  // number of digits clamps instead of overflowing.
  constexpr std::int64_t kLimit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (; at < text.size() && isDigit(text[at]); ++at) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[at] - '0');
  }
  const std::int64_t signedValue = negative ? -magnitude : magnitude;
  if (signedValue > std::numeric_limits<std::int32_t>::max()) {
    value = std::numeric_limits<std::int32_t>::max();
  } else if (signedValue < std::numeric_limits<std::int32_t>::min()) {
    value = std::numeric_limits<std::int32_t>::min();
  } else {
    value = static_cast<std::int32_t>(signedValue);
  }
  pos = at;
  return true;
}

bool scanString(std::string_view text, std::size_t& pos, std::string_view literal) {
  std::size_t at = skipWhiteSpace(text, pos);
  if (at > text.size()) return false;
  if (text.substr(at, literal.size()) != literal) return false;
  pos = at + literal.size();
  return true;
}

std::int32_t stringIntValue(std::string_view text) {
  std::size_t pos = 0;
  std::int32_t value = 0;
  return scanInt(text, pos, value) ? value : 0;
}

}  // namespace install
