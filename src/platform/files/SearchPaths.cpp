#include "platform/files/SearchPaths.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "platform/files/TempDir.h"

namespace platform {

namespace {

// The Library directory of each domain; the user's comes from the home directory and is
// left out when no home directory is known.
std::vector<std::string> libraryDirectories(unsigned domainMask) {
  std::vector<std::string> dirs;
  if (domainMask & kUserDomainMask) {
    std::string home = homeDirectory();
    if (!home.empty()) {
      if (home.back() != '/') home += '/';
      dirs.push_back(home + "Library");
    }
  }
  if (domainMask & kLocalDomainMask) dirs.push_back("/Library");
  if (domainMask & kNetworkDomainMask) dirs.push_back("/Network/Library");
  if (domainMask & kSystemDomainMask) dirs.push_back("/System/Library");
  return dirs;
}

}  // namespace

std::vector<std::string> searchPathForDirectoriesInDomains(SearchPathDirectory directory,
                                                           unsigned domainMask) {
  std::vector<std::string> dirs = libraryDirectories(domainMask);
  switch (directory) {
    case kLibraryDirectory:
      return dirs;
    case kApplicationSupportDirectory:
      for (auto& dir : dirs) dir += "/Application Support";
      return dirs;
  }
  return {};
}

std::string homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  long bufferSize = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(bufferSize > 0 ? static_cast<std::size_t>(bufferSize) : 16384);
  struct passwd entry;
  struct passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

}  // namespace platform
