#include "tools/bundle/CarriedRuntime.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <optional>
#include <set>

#include "libinstall/LibInstall.h"
#include "platform/url/TreePath.h"
#include "tools/common/Verification.h"

namespace fs = std::filesystem;

namespace tools {
namespace {

struct PlatformFiles {
  fs::path installer;  ///< relative to a tree
  fs::path signature;
};

/// Where in a tree the program, on a Mac of system major.minor and arch, finds its
/// installer and signature; nullopt when it composes no such URLs.
std::optional<PlatformFiles> platformFiles(std::int32_t major, std::int32_t minor,
                                           std::int32_t arch) {
  const auto urls = install::composeDownloadUrls({install::kOsMac, major, minor, 0, arch});
  if (!urls) return std::nullopt;
  std::string why;
  const auto installer = platform::treePathForUrl(urls->installer, why);
  const auto signature = platform::treePathForUrl(urls->signature, why);
  if (!installer || !signature) return std::nullopt;
  return PlatformFiles{*installer, *signature};
}

/// "10.6" as two numbers; nullopt for anything else.
std::optional<std::pair<std::int32_t, std::int32_t>> systemVersion(const std::string& text) {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  const char* end = text.data() + text.size();
  auto [dot, error] = std::from_chars(text.data(), end, major);
  if (error != std::errc() || dot == end || *dot != '.') return std::nullopt;
  auto [rest, error2] = std::from_chars(dot + 1, end, minor);
  if (error2 != std::errc() || rest != end) return std::nullopt;
  return std::make_pair(major, minor);
}

/// Why the entry at path cannot be carried: it is a symbolic link or not of the wanted
/// kind; empty when it can. Missing entries are the caller's business.
std::string unusable(const fs::path& path, bool folder) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (fs::is_symlink(status)) return path.string() + " is a symbolic link";
  if (folder ? !fs::is_directory(status) : !fs::is_regular_file(status)) {
    return path.string() + (folder ? " is not a folder" : " is not a regular file");
  }
  return std::string();
}

bool anythingAt(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

std::vector<fs::path> sortedEntries(const fs::path& folder) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    entries.push_back(it->path());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

/// The lists the tree holds for the distribution points of the signature's chains.
std::string findLists(const fs::path& tree, CarriedInstaller& carried, CarriedRuntime& found) {
  for (const std::string& url : possibleDistributionPoints((tree / carried.signature).string())) {
    std::string why;
    const auto relative = platform::treePathForUrl(url, why);
    // The program could not find such a list in a bundle either.
    if (!relative) continue;
    if (!anythingAt(tree / *relative)) {
      if (std::find(found.missingLists.begin(), found.missingLists.end(), url) ==
          found.missingLists.end()) {
        found.missingLists.push_back(url);
      }
      continue;
    }
    if (std::string problem = unusable(tree / *relative, false); !problem.empty()) return problem;
    carried.lists.push_back(*relative);
  }
  return std::string();
}

/// The installer, signature and lists of one system folder's architecture folder, when
/// it is one the program asks for.
std::string findInstaller(const fs::path& tree, const fs::path& archFolder,
                          std::pair<std::int32_t, std::int32_t> version, CarriedRuntime& found) {
  const auto arch = install::archFromName(archFolder.filename().string());
  if (!arch) return std::string();
  const auto files = platformFiles(version.first, version.second, *arch);
  // "macos10.06" reads as 10.6, but the program asks for "macos10.6".
  if (!files || tree / files->installer.parent_path() != archFolder) return std::string();
  if (std::string problem = unusable(archFolder, true); !problem.empty()) return problem;
  CarriedInstaller carried{files->installer.string(), files->signature.string(), {}};
  for (const std::string& file : {carried.installer, carried.signature}) {
    if (!anythingAt(tree / file)) return (tree / file).string() + " is missing";
    if (std::string problem = unusable(tree / file, false); !problem.empty()) return problem;
  }
  if (std::string problem = findLists(tree, carried, found); !problem.empty()) return problem;
  found.installers.push_back(std::move(carried));
  return std::string();
}

std::string copyInto(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::create_directories(to.parent_path(), ec);
  if (!ec) fs::copy_file(from, to, ec);
  // The bundle's copy is read, never run: the program runs its own copy of it.
  if (!ec) fs::permissions(to, fs::perms(0644), ec);
  if (ec) return "cannot copy " + from.string() + " into the bundle: " + ec.message();
  return std::string();
}

}  // namespace

std::string findCarriedRuntime(const std::string& treeName, CarriedRuntime& found) {
  const fs::path tree(treeName);
  std::error_code ec;
  if (!fs::is_directory(tree, ec)) return "no download tree folder at " + treeName;
  // The layout is the program's: one URL shows where the system folders are and how
  // their names begin ("orvel/3/nai/" and "macos" today).
  const auto sample = platformFiles(10, 0, install::kArchX86);
  if (!sample) return "the program composes no download URL";
  const fs::path systemFolder = sample->installer.parent_path().parent_path();
  const std::string sampleName = systemFolder.filename().string();
  const std::string prefix = sampleName.substr(0, sampleName.find_first_of("0123456789"));
  for (const fs::path& system : sortedEntries(tree / systemFolder.parent_path())) {
    const std::string name = system.filename().string();
    if (name.rfind(prefix, 0) != 0) continue;
    const auto version = systemVersion(name.substr(prefix.size()));
    if (!version) continue;
    if (std::string problem = unusable(system, true); !problem.empty()) return problem;
    for (const fs::path& archFolder : sortedEntries(system)) {
      if (std::string problem = findInstaller(tree, archFolder, *version, found); !problem.empty())
        return problem;
    }
  }
  if (found.installers.empty()) {
    return "no runtime installer in " + treeName + " where the program looks for one, such as " +
           sample->installer.string() + " (a tree that naib-publish made)";
  }
  return std::string();
}

std::string carryRuntime(const std::string& treeName, const CarriedRuntime& found,
                         const std::string& runtimeFolderName) {
  const fs::path tree(treeName);
  const fs::path runtimeFolder(runtimeFolderName);
  std::set<std::string> copied;
  for (const CarriedInstaller& carried : found.installers) {
    std::vector<std::string> files{carried.installer, carried.signature};
    files.insert(files.end(), carried.lists.begin(), carried.lists.end());
    for (const std::string& file : files) {
      if (!copied.insert(file).second) continue;
      if (std::string problem = copyInto(tree / file, runtimeFolder / file); !problem.empty())
        return problem;
    }
    std::vector<std::string> lists;
    for (const std::string& list : carried.lists) lists.push_back((runtimeFolder / list).string());
    const VerificationReport report =
        verifyWithLists((runtimeFolder / carried.installer).string(),
                        (runtimeFolder / carried.signature).string(), lists);
    if (!report.accepted) {
      return "the program would reject " + (tree / carried.installer).string() + ": " +
             report.error;
    }
  }
  return std::string();
}

}  // namespace tools
