#pragma once
// Where in a static tree a web server finds the file for a URL: the publishing tool lays
// its tree out by it, and the program finds the files a bundle carries by it.

#include <optional>
#include <string>

namespace platform {

/// The path, relative to the tree's top, of the file a static server answers url with:
/// its path, percent-decoded segment by segment. nullopt, with why set, for a URL that
/// is not http or https, carries a query or fragment, names a folder, or whose path has
/// an empty, ".", ".." segment or one that decodes to a "/" or NUL (none of which names
/// one file inside the tree).
std::optional<std::string> treePathForUrl(const std::string& url, std::string& why);

}  // namespace platform
