#pragma once
// Makes "Install <App>.app" around the program and an application package.

#include <string>

#include "tools/bundle/CarriedRuntime.h"

namespace tools {

struct BundleRequest {
  std::string package;    ///< the application package folder
  std::string appName;    ///< <App>; names the package folder inside the bundle
  std::string version;    ///< CFBundleVersion, the version the install log starts with
  std::string outputDir;  ///< where "Install <App>.app" goes (must exist)
  std::string program;    ///< the program to copy in; the naib-*.so modules beside it go too
  bool force = false;     ///< replace an existing bundle
  /// A download tree for the bundle to carry under Contents/Resources/Runtime, and what
  /// findCarriedRuntime found there; an empty tree: the bundle carries no runtime.
  std::string runtimeTree;
  CarriedRuntime runtime;
};

/// "Install <name>.app".
std::string bundleFileName(const std::string& appName);

/// Refuses (one-line reason) an app name that is empty, ".", ".." or holds "/" or a control
/// character, an empty version or one with a control character, a package that is not a
/// folder, a package entry that is a symbolic link pointing outside the package (or to an
/// absolute path) or neither file, folder nor link, an output inside the package, and an
/// existing bundle without force. Otherwise builds the bundle beside its final place and
/// moves it there whole: Contents/MacOS/Install <App> (the program, mode 0755) with the
/// modules, Contents/Info.plist, Contents/Resources/<App>/ (the package, permission bits
/// kept but for group and other write and the set-id bits, links kept as links), and with
/// a runtime tree what carryRuntime copies and verifies (refused when an installer does
/// not verify, or when the app is named "Runtime"). Returns the empty string on success.
std::string makeBundle(const BundleRequest& request);

}  // namespace tools
