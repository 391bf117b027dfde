#include "platform/files/TempDir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/files/FileSystem.h"

namespace platform {
namespace {

// The directory of this process, made on first use. One per process, as the temporary
// directory of a user session is one place for every caller.
std::string& madeDirectory() {
  static std::string path;
  return path;
}

std::string makeDirectoryUnder(const std::string& parent) {
  std::string pattern = appendPathComponent(parent, "naib-XXXXXX");
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp creates the directory 0700 itself: nobody else can list or plant files in it.
  if (::mkdtemp(buffer.data()) == nullptr) return {};
  return std::string(buffer.data());
}

// The first parent that takes a private directory: $TMPDIR, /tmp, then the home
// directory. A parent that is missing, read-only or not a directory is passed over.
std::string makeDirectory() {
  const char* base = ::getenv("TMPDIR");
  std::vector<std::string> parents;
  if (base != nullptr && *base == '/') parents.emplace_back(base);
  parents.emplace_back("/tmp");
  const std::string home = homeDirectory();
  if (!home.empty() && home.front() == '/') parents.push_back(home);
  for (const std::string& parent : parents) {
    std::string made = makeDirectoryUnder(parent);
    if (!made.empty()) return made;
  }
  return {};
}

}  // namespace

std::string temporaryDirectory() {
  std::string& path = madeDirectory();
  if (path.empty()) path = makeDirectory();
  return path;
}

void removeTemporaryDirectory() {
  std::string& path = madeDirectory();
  if (path.empty()) return;
  removeItem(path);
  path.clear();
}

}  // namespace platform
