#include "platform/url/TreePath.h"

#include "platform/url/HttpUrl.h"

namespace platform {

std::optional<std::string> treePathForUrl(const std::string& url, std::string& why) {
  const auto parsed = platform::parseHttpUrl(url);
  if (!parsed) {
    why = "not an http or https URL";
    return std::nullopt;
  }
  if (parsed->hasQuery || parsed->hasFragment) {
    why = "a file of a static tree cannot answer a query or fragment";
    return std::nullopt;
  }
  std::string path;
  for (const std::string& segment : parsed->pathSegments) {
    // Any of these would name a folder, climb out of the tree, or mean something else to
    // the server than to the file system.
    if (segment.empty() || segment == "." || segment == ".." ||
        segment.find_first_of(std::string("/\0", 2)) != std::string::npos) {
      why = "its path does not name one file inside a tree";
      return std::nullopt;
    }
    path += (path.empty() ? "" : "/") + segment;
  }
  if (path.empty()) {
    why = "it names no file";
    return std::nullopt;
  }
  return path;
}

}  // namespace platform
