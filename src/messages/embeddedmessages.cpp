#include "messages/embeddedmessages.h"

namespace messages {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;

bool isScalarValue(char32_t c) {
  return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

std::string wchartoNSString(const char32_t* text) {
  std::string out;
  if (text == nullptr) return out;
  for (const char32_t* unit = text; *unit != 0; ++unit) {
    // A unit that names no character must not turn into bytes no UTF-8 reader accepts.
    appendUtf8(out, isScalarValue(*unit) ? *unit : kReplacementCharacter);
  }
  return out;
}

}  // namespace messages
