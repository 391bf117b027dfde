#pragma once
// Bundles: a directory with an information list, resources and maybe an executable.

#include <map>
#include <optional>
#include <string>

namespace platform {

class Bundle {
 public:
  /// The bundle at path, a directory; nullopt when path is not a directory. Its information
  /// list is the first found of Contents/Info.plist, Resources/Info.plist, Info.plist
  /// (none is no error: the bundle then has no values).
  static std::optional<Bundle> withPath(const std::string& path);

  /// The bundle of the running executable (/proc/self/exe): X.app when the executable
  /// sits in X.app/Contents/MacOS/, else the executable's directory.
  static Bundle main();

  const std::string& bundlePath() const { return path_; }
  /// X.app/Contents/Resources for an application bundle; the bundle directory otherwise.
  const std::string& resourcePath() const { return resourcePath_; }
  /// The information list's value for key when it is a string.
  std::optional<std::string> infoString(const std::string& key) const;
  /// CFBundleExecutable under Contents/MacOS/ (application layout) or at the bundle root;
  /// nullopt without that value.
  std::optional<std::string> executablePath() const;

 private:
  Bundle(std::string path, std::string resourcePath, std::string executableDir,
         std::map<std::string, std::string> info);
  std::string path_;
  std::string resourcePath_;
  std::string executableDir_;
  std::map<std::string, std::string> info_;
};

}  // namespace platform
