#include "tools/bundle/BundleMaker.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "platform/files/PropertyList.h"

namespace fs = std::filesystem;

namespace tools {
namespace {

// Write access for group and others would let other users change what the installer runs;
// set-id bits would hand the owner's rights to whoever runs the file.
constexpr fs::perms kKeptPermissions = fs::perms::owner_all | fs::perms::group_read |
                                       fs::perms::group_exec | fs::perms::others_read |
                                       fs::perms::others_exec | fs::perms::sticky_bit;

bool hasControlCharacter(const std::string& text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::string checkNames(const BundleRequest& request) {
  const std::string& name = request.appName;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      hasControlCharacter(name)) {
    return "unusable app name \"" + name +
           "\": it must be a non-empty file name, not \".\" or \"..\", without \"/\"";
  }
  if (request.version.empty() || hasControlCharacter(request.version)) {
    return "unusable version: it must be a non-empty line of text";
  }
  return std::string();
}

bool isInside(const fs::path& path, const fs::path& top) {
  const fs::path relative = path.lexically_relative(top);
  return !relative.empty() && *relative.begin() != "..";
}

/// Why the package cannot be copied as it is: a link that leads out of it, or an entry
/// that is no file, folder or link. Empty when every entry is fine.
std::string checkPackageEntries(const fs::path& top) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(top, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& path = it->path();
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_symlink(status)) {
      const fs::path target = fs::read_symlink(path, ec);
      if (ec) break;
      // Judged by the words of the link and, when it leads somewhere, by where it leads:
      // an absolute link names a place on this machine, never one inside the bundle.
      const fs::path lexical = (path.parent_path() / target).lexically_normal();
      const fs::path real = fs::weakly_canonical(path, ec);
      if (target.is_absolute() || !isInside(lexical, top) || ec || !isInside(real, top)) {
        return "symbolic link " + path.string() + " -> " + target.string() +
               " points outside the package";
      }
    } else if (!fs::is_regular_file(status) && !fs::is_directory(status)) {
      return path.string() + " is not a file, folder or symbolic link";
    }
  }
  if (ec) return "cannot read the package " + top.string() + ": " + ec.message();
  return std::string();
}

/// Copies the package tree: permission bits kept but for group and other write and set-id,
/// links as links.
/// Folder permissions are set last, so a read-only folder can still be filled.
void copyPackage(const fs::path& from, const fs::path& to, std::error_code& ec) {
  const fs::perms topPermissions = fs::status(from, ec).permissions() & kKeptPermissions;
  if (ec || !fs::create_directory(to, ec)) return;
  std::vector<std::pair<fs::path, fs::perms>> folders{{to, topPermissions}};
  for (auto it = fs::recursive_directory_iterator(from, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path target = to / it->path().lexically_relative(from);
    const fs::file_status status = it->symlink_status(ec);
    if (ec) return;
    if (fs::is_symlink(status)) {
      fs::copy_symlink(it->path(), target, ec);
    } else if (fs::is_directory(status)) {
      fs::create_directory(target, ec);
      folders.emplace_back(target, status.permissions() & kKeptPermissions);
    } else {
      fs::copy_file(it->path(), target, ec);
      if (!ec) fs::permissions(target, status.permissions() & kKeptPermissions, ec);
    }
    if (ec) return;
  }
  if (ec) return;
  for (auto it = folders.rbegin(); it != folders.rend() && !ec; ++it) {
    fs::permissions(it->first, it->second, ec);
  }
}

/// The program and every "naib-*.so" module in its real folder, which it loads from its own.
void copyProgram(const fs::path& program, const fs::path& macOs, const std::string& exeName,
                 std::error_code& ec) {
  fs::create_directories(macOs, ec);
  if (ec || !fs::copy_file(program, macOs / exeName, ec)) return;
  fs::permissions(macOs / exeName, fs::perms(0755), ec);
  if (ec) return;
  const fs::path folder = fs::canonical(program, ec).parent_path();
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.rfind("naib-", 0) == 0 && it->path().extension() == ".so" && it->is_regular_file(ec) &&
        !fs::copy_file(it->path(), macOs / name, ec)) {
      return;
    }
  }
}

/// A folder made beside the final bundle, removed again unless released.
class StagingFolder {
 public:
  explicit StagingFolder(const fs::path& finalPath) {
    std::string pattern =
        (finalPath.parent_path() / ("." + finalPath.filename().string() + ".XXXXXX")).string();
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~StagingFolder() { removeAll(path_); }
  StagingFolder(const StagingFolder&) = delete;
  StagingFolder& operator=(const StagingFolder&) = delete;

  const fs::path& path() const { return path_; }
  void release() { path_.clear(); }

  /// Removes a tree even where the package made folders read-only.
  static void removeAll(const fs::path& path) {
    if (path.empty()) return;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it->is_directory(ec) && !it->is_symlink(ec)) {
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
      }
    }
    fs::remove_all(path, ec);
  }

 private:
  fs::path path_;
};

std::string build(const BundleRequest& request, const fs::path& package, const fs::path& stage) {
  const std::string exeName = "Install " + request.appName;
  std::error_code ec;
  copyProgram(request.program, stage / "Contents" / "MacOS", exeName, ec);
  if (ec) return "cannot copy the program " + request.program + ": " + ec.message();
  const std::map<std::string, std::string> info{{"CFBundleExecutable", exeName},
                                                {"CFBundleName", exeName},
                                                {"CFBundlePackageType", "APPL"},
                                                {"CFBundleVersion", request.version}};
  if (!platform::writePropertyListStrings((stage / "Contents" / "Info.plist").string(), info)) {
    return "cannot write Contents/Info.plist";
  }
  fs::create_directories(stage / "Contents" / "Resources", ec);
  if (!ec) copyPackage(package, stage / "Contents" / "Resources" / request.appName, ec);
  if (ec) return "cannot copy the package: " + ec.message();
  fs::permissions(stage, fs::perms(0755), ec);
  return std::string();
}

}  // namespace

std::string bundleFileName(const std::string& appName) {
  return "Install " + appName + ".app";
}

std::string makeBundle(const BundleRequest& request) {
  if (std::string problem = checkNames(request); !problem.empty()) return problem;
  std::error_code ec;
  if (!fs::is_directory(request.package, ec)) {
    return "no application package folder at " + request.package;
  }
  if (!fs::is_regular_file(request.program, ec)) {
    return "no program at " + request.program;
  }
  if (!fs::is_directory(request.outputDir, ec)) return "no output folder at " + request.outputDir;
  const fs::path package = fs::canonical(request.package, ec);
  const fs::path outputDir = fs::canonical(request.outputDir, ec);
  if (ec) return "cannot resolve " + request.package + ": " + ec.message();
  if (outputDir == package || isInside(outputDir, package)) {
    return "the output folder must not be inside the package";
  }
  const fs::path bundle = outputDir / bundleFileName(request.appName);
  if (fs::symlink_status(bundle, ec).type() != fs::file_type::not_found && !request.force) {
    return bundle.string() + " exists (use --force to replace it)";
  }
  if (std::string problem = checkPackageEntries(package); !problem.empty()) return problem;
  if (!request.runtimeTree.empty() && request.appName == kCarriedTreeFolder) {
    return "an app named " + request.appName + " cannot carry a runtime: its package folder " +
           "would take the carried tree's place";
  }

  StagingFolder stage(bundle);
  if (stage.path().empty()) return "cannot create a folder in " + outputDir.string();
  if (std::string problem = build(request, package, stage.path()); !problem.empty()) {
    return problem;
  }
  if (!request.runtimeTree.empty()) {
    const fs::path carried = stage.path() / "Contents" / "Resources" / kCarriedTreeFolder;
    if (std::string problem = carryRuntime(request.runtimeTree, request.runtime, carried.string());
        !problem.empty()) {
      return problem;
    }
  }
  // The old bundle steps aside only once the new one is complete, and comes back when the
  // new one cannot take its place.
  StagingFolder old(bundle);
  const fs::path previous = old.path() / "previous";
  const bool replacing = fs::symlink_status(bundle, ec).type() != fs::file_type::not_found;
  if (replacing) {
    if (old.path().empty()) return "cannot create a folder in " + outputDir.string();
    fs::rename(bundle, previous, ec);
    if (ec) return "cannot replace " + bundle.string() + ": " + ec.message();
  }
  fs::rename(stage.path(), bundle, ec);
  if (ec) {
    std::error_code ignored;
    if (replacing) fs::rename(previous, bundle, ignored);
    return "cannot move the bundle into place: " + ec.message();
  }
  stage.release();
  return std::string();
}

}  // namespace tools
