#include "libinstall/LogValue.h"

namespace install {
namespace {

bool isControl(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

bool isContinuationByte(unsigned char c) {
  return (c & 0xC0) == 0x80;
}

void appendEscaped(std::string& out, unsigned char c) {
  if (!isControl(c)) {
    out += static_cast<char>(c);
    return;
  }
  out += '#';
  out += static_cast<char>('0' + ((c >> 6) & 7));
  out += static_cast<char>('0' + ((c >> 3) & 7));
  out += static_cast<char>('0' + (c & 7));
}

}  // namespace

std::string loggableValue(std::string_view value, std::size_t maxBytes) {
  // How many bytes of value fit once escaped.
  std::size_t kept = 0;
  std::size_t width = 0;
  for (; kept < value.size(); ++kept) {
    const std::size_t next = isControl(static_cast<unsigned char>(value[kept])) ? 4 : 1;
    if (width + next > maxBytes) break;
    width += next;
  }
  // A cut never splits a character: back off to the start of the one it would split.
  if (kept < value.size()) {
    while (kept > 0 && isContinuationByte(static_cast<unsigned char>(value[kept]))) --kept;
  }
  std::string out;
  out.reserve(width + 32);
  for (std::size_t i = 0; i < kept; ++i) appendEscaped(out, static_cast<unsigned char>(value[i]));
  if (kept < value.size()) out += " ... [" + std::to_string(value.size() - kept) + " bytes cut]";
  return out;
}

}  // namespace install
