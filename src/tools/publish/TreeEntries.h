#pragma once
// What goes where in the download tree, checked before anything is written.

#include <optional>
#include <string>
#include <vector>

#include "libinstall/MacSystemVersion.h"

namespace tools {

/// A --system value read as the program reads a machine's ProductVersion, when it is one:
/// two or three numbers of ASCII digits, each at most 65535, joined by dots. nullopt for
/// anything else, which the program would read as some other version than the one meant.
std::optional<install::MacSystemVersion> systemVersionArgument(const std::string& text);

struct TreeEntry {
  std::string url;
  std::string source;  ///< the file to copy there
  std::string path;    ///< where in the tree (treePathForUrl of url)
};

/// Why entries cannot share one tree: two of them put different files on one path, or one
/// puts a file where another needs a folder. Empty when they can (entries that bring the
/// same file to one path are one file).
std::string layoutConflict(const std::vector<TreeEntry>& entries);

}  // namespace tools
