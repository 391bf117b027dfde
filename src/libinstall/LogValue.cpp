#include "libinstall/LogValue.h"

#include "platform/text/Utf8.h"

namespace install {
namespace {

// Characters that would change how a log line reads rather than what it says: line
// breaks and other controls of both control blocks, the bidirectional embeddings,
// overrides and isolates that reorder what follows them on screen, and the escape
// character itself, so that every '#' in the log starts an escape.
bool mustEscape(char32_t c) {
  return c < 0x20 || c == 0x7F || c == '#' || (c >= 0x80 && c <= 0x9F) ||
         (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

/// What value holds at its start: a character or, where no well-formed UTF-8 sequence
/// starts, one stray byte; and how many bytes it takes in the log.
struct Piece {
  std::size_t length;
  bool escaped;
  std::size_t width() const { return escaped ? 4 * length : length; }
};

Piece pieceAt(std::string_view rest) {
  const auto character = platform::leadingUtf8Character(rest);
  if (!character) return {1, true};
  return {character->length, mustEscape(character->value)};
}

void appendEscaped(std::string& out, unsigned char c) {
  out += '#';
  out += static_cast<char>('0' + ((c >> 6) & 7));
  out += static_cast<char>('0' + ((c >> 3) & 7));
  out += static_cast<char>('0' + (c & 7));
}

}  // namespace

std::string loggableValue(std::string_view value, std::size_t maxBytes) {
  std::string out;
  std::size_t kept = 0;
  while (kept < value.size()) {
    const Piece piece = pieceAt(value.substr(kept));
    // A cut never splits a character or an escape.
    if (out.size() + piece.width() > maxBytes) break;
    for (std::size_t i = kept; i < kept + piece.length; ++i) {
      if (piece.escaped) {
        appendEscaped(out, static_cast<unsigned char>(value[i]));
      } else {
        out += value[i];
      }
    }
    kept += piece.length;
  }
  if (kept < value.size()) out += " ... [" + std::to_string(value.size() - kept) + " bytes cut]";
  return out;
}

}  // namespace install
