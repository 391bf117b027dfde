#include "platform/files/TempDir.h"

#include <stdlib.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/files/FileSystem.h"
#include "platform/files/TempDirOwner.h"

namespace platform {
namespace {

// The directory of this process, made on first use, and the lock of its owner marker. One
// per process, as the temporary directory of a user session is one place for every caller.
struct Made {
  std::string path;
  OwnerLock marker;
};

Made& made() {
  static Made m;
  return m;
}

std::string makeDirectoryUnder(const std::string& parent) {
  std::string pattern = appendPathComponent(parent, "naib-XXXXXX");
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkdtemp creates the directory 0700 itself: nobody else can list or plant files in it.
  if (::mkdtemp(buffer.data()) == nullptr) return {};
  return std::string(buffer.data());
}

// Where private directories are made, in this order: $TMPDIR, /tmp, the home directory.
std::vector<std::string> parentDirectories() {
  const char* base = ::getenv("TMPDIR");
  std::vector<std::string> parents;
  if (base != nullptr && *base == '/') parents.emplace_back(base);
  parents.emplace_back("/tmp");
  const std::string home = homeDirectory();
  if (!home.empty() && home.front() == '/') parents.push_back(home);
  return parents;
}

// The first parent that takes a private directory. A parent that is missing, read-only or
// not a directory is passed over.
std::string makeDirectory() {
  for (const std::string& parent : parentDirectories()) {
    std::string made = makeDirectoryUnder(parent);
    if (!made.empty()) return made;
  }
  return {};
}

}  // namespace

std::string temporaryDirectory() {
  Made& m = made();
  if (m.path.empty()) {
    m.path = makeDirectory();
    if (!m.path.empty()) m.marker = markDirectoryAsOurs(m.path);
  }
  return m.path;
}

void removeTemporaryDirectory() {
  Made& m = made();
  if (m.path.empty()) return;
  removeItem(m.path);
  m.path.clear();
  m.marker.reset();
}

void removeAbandonedTemporaryDirectories() {
  for (const std::string& parent : parentDirectories())
    removeAbandonedDirectories(parent, made().path);
}

}  // namespace platform
