#include "platform/files/Bundle.h"

#include <sys/stat.h>

#include <utility>

#include "platform/files/FileSystem.h"
#include "platform/files/PropertyList.h"

namespace platform {

namespace {

bool isDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool endsWith(const std::string& text, const std::string& suffix) {
  return text.size() > suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// An unreadable or malformed information list leaves the bundle without values rather
// than without a bundle: callers then see every key as missing.
std::map<std::string, std::string> readInfo(const std::string& path) {
  auto info = readPropertyListStrings(path);
  return info ? std::move(*info) : std::map<std::string, std::string>{};
}

// The executable's name must stay a name inside its directory: a value with a slash or a
// dot entry would point the bundle at a program outside it.
bool isPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

Bundle::Bundle(std::string path, std::string resourcePath, std::string executableDir,
               std::map<std::string, std::string> info)
    : path_(std::move(path)),
      resourcePath_(std::move(resourcePath)),
      executableDir_(std::move(executableDir)),
      info_(std::move(info)) {}

std::optional<Bundle> Bundle::withPath(const std::string& path) {
  if (path.empty() || !isDirectory(path)) return std::nullopt;
  const std::string contents = appendPathComponent(path, "Contents");
  const std::string appInfo = appendPathComponent(contents, "Info.plist");
  if (isRegularFile(appInfo)) {
    return Bundle(path, appendPathComponent(contents, "Resources"),
                  appendPathComponent(contents, "MacOS"), readInfo(appInfo));
  }
  // Framework layout, then a flat bundle; a directory named Info.plist is not an
  // information list and is passed over.
  for (const char* relative : {"Resources/Info.plist", "Info.plist"}) {
    const std::string candidate = appendPathComponent(path, relative);
    if (isRegularFile(candidate)) return Bundle(path, path, path, readInfo(candidate));
  }
  return Bundle(path, path, path, {});
}

Bundle Bundle::main() {
  const std::string exeDir = executableDirectory();
  const std::string contents = parentDirectory(exeDir);
  const std::string app = parentDirectory(contents);
  if (lastPathComponent(exeDir) == "MacOS" && lastPathComponent(contents) == "Contents" &&
      endsWith(lastPathComponent(app), ".app")) {
    return Bundle(app, appendPathComponent(contents, "Resources"), exeDir,
                  readInfo(appendPathComponent(contents, "Info.plist")));
  }
  return Bundle(exeDir, exeDir, exeDir, readInfo(appendPathComponent(exeDir, "Info.plist")));
}

std::optional<std::string> Bundle::infoString(const std::string& key) const {
  auto it = info_.find(key);
  if (it == info_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> Bundle::executablePath() const {
  auto name = infoString("CFBundleExecutable");
  if (!name || !isPlainFileName(*name)) return std::nullopt;
  return appendPathComponent(executableDir_, *name);
}

}  // namespace platform
