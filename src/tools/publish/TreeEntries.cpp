#include "tools/publish/TreeEntries.h"

#include <algorithm>

namespace tools {
namespace {

bool isNumberPiece(const std::string& piece) {
  return !piece.empty() && piece.size() <= 5 &&
         std::all_of(piece.begin(), piece.end(), [](char c) { return c >= '0' && c <= '9'; }) &&
         std::stoul(piece) <= 65535;
}

}  // namespace

std::optional<install::MacSystemVersion> systemVersionArgument(const std::string& text) {
  std::vector<std::string> pieces;
  for (std::size_t start = 0;;) {
    const std::size_t dot = text.find('.', start);
    pieces.push_back(text.substr(start, dot - start));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  if (pieces.size() != 2 && pieces.size() != 3) return std::nullopt;
  if (!std::all_of(pieces.begin(), pieces.end(), isNumberPiece)) return std::nullopt;
  return install::MacSystemVersion::FromProductVersion(text);
}

std::string layoutConflict(const std::vector<TreeEntry>& entries) {
  for (const TreeEntry& a : entries) {
    for (const TreeEntry& b : entries) {
      if (a.path == b.path && a.source != b.source) {
        return a.url + " and " + b.url + " both land on " + a.path + " (" + a.source + ", " +
               b.source + ")";
      }
      if (b.path.size() > a.path.size() && b.path.compare(0, a.path.size(), a.path) == 0 &&
          b.path[a.path.size()] == '/') {
        return b.url + " needs " + a.path + " as a folder, where " + a.url + " puts a file";
      }
    }
  }
  return std::string();
}

}  // namespace tools
