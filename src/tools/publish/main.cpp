// naib-publish: the runtime publisher's layout step. Puts a signed installer, its signature
// and the chain's revocation lists into a static tree at the paths the program asks for,
// and prints the URLs, so any web server or CDN can serve the tree as it is.

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "libinstall/LibInstall.h"
#include "libinstall/MacSystemVersion.h"
#include "platform/url/HttpUrl.h"
#include "platform/url/TreePath.h"
#include "tools/common/StagedFile.h"
#include "tools/common/ToolCli.h"
#include "tools/common/Verification.h"
#include "tools/publish/CrlPlan.h"
#include "tools/publish/TreeEntries.h"

namespace fs = std::filesystem;

namespace {

constexpr char kTool[] = "naib-publish";
constexpr char kUsage[] =
    "Usage: naib-publish --system VERSION... [--arch ARCH]... [--crl FILE]... [--force]\n"
    "                    INSTALLER SIGNATURE TREE\n"
    "Checks INSTALLER and SIGNATURE as naib-bootstrapper does (with the given revocation\n"
    "lists), then lays them out in the folder TREE at every URL the program composes on a\n"
    "machine of each system VERSION (its ProductVersion, such as 10.6.8) and architecture\n"
    "(x86, the default, or ppc), and each revocation list at the path of the distribution\n"
    "point it answers. Prints the URLs, downloads first.\n"
    "  --force  replace files that are already in the tree\n"
    "Exit status: 0 published, 2 refused.\n";

/// The download URLs for every system version and architecture asked for, each once.
bool downloadEntries(const tools::CommandLine& line, const std::string& installer,
                     const std::string& signature, std::vector<tools::TreeEntry>& entries,
                     std::string& error) {
  std::vector<std::string> arches = line.values("--arch");
  if (arches.empty()) arches.push_back("x86");
  for (const std::string& system : line.values("--system")) {
    // Read as the program reads its system version file, so the URL is the one it asks for.
    const auto version = tools::systemVersionArgument(system);
    if (!version) {
      error = "\"" + tools::printable(system) + "\" is not a system version (such as 10.6.8)";
      return false;
    }
    for (const std::string& archName : arches) {
      const auto arch = install::archFromName(archName);
      if (!arch) {
        error = "unknown architecture \"" + tools::printable(archName) + "\" (x86 or ppc)";
        return false;
      }
      const install::PlatformInfo info{install::kOsMac, version->major, version->minor,
                                       version->bugfix, *arch};
      const auto urls = install::composeDownloadUrls(info);
      if (!urls) {
        error = "the system version \"" + tools::printable(system) + "\" gives no download URL";
        return false;
      }
      for (const tools::TreeEntry& e : {tools::TreeEntry{urls->installer, installer, {}},
                                        tools::TreeEntry{urls->signature, signature, {}}}) {
        const auto seen = [&](const tools::TreeEntry& other) { return other.url == e.url; };
        if (std::none_of(entries.begin(), entries.end(), seen)) entries.push_back(e);
      }
    }
  }
  return true;
}

/// The first part of the way from tree down to tree/relative that is a symbolic link;
/// empty when none is. The way ends at the first part that does not exist yet: what the
/// tool makes from there on is no link.
std::string linkOnTheWay(const fs::path& tree, const std::string& relative) {
  fs::path here = tree;
  for (const fs::path& part : fs::path(relative)) {
    here /= part;
    std::error_code ec;
    const fs::file_type type = fs::symlink_status(here, ec).type();
    if (type == fs::file_type::symlink) return here.string();
    if (ec || type == fs::file_type::not_found) break;
  }
  return std::string();
}

/// Gives each entry its path in the tree and refuses, before anything is written, a tree
/// where one file would replace another or a write would leave the tree through a link.
bool planTree(const std::string& tree, std::vector<tools::TreeEntry>& entries, bool force,
              std::string& error) {
  for (tools::TreeEntry& e : entries) {
    std::string why;
    const auto path = platform::treePathForUrl(e.url, why);
    if (!path) {
      error = "cannot lay out " + tools::printable(e.url) + ": " + why;
      return false;
    }
    e.path = *path;
  }
  if (std::string conflict = tools::layoutConflict(entries); !conflict.empty()) {
    error = "cannot lay out the tree: " + conflict;
    return false;
  }
  for (const tools::TreeEntry& e : entries) {
    if (std::string link = linkOnTheWay(tree, e.path); !link.empty()) {
      error = link + " is a symbolic link; the tree must hold none on the way to its files";
      return false;
    }
    const fs::path target = fs::path(tree) / e.path;
    std::error_code ec;
    if (!force && fs::symlink_status(target, ec).type() != fs::file_type::not_found) {
      error = target.string() + " exists (use --force to replace it)";
      return false;
    }
  }
  return true;
}

bool writeTree(const std::string& tree, const std::vector<tools::TreeEntry>& entries,
               std::string& error) {
  for (const tools::TreeEntry& e : entries) {
    const fs::path target = fs::path(tree) / e.path;
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);
    if (ec) {
      error = "cannot create " + target.parent_path().string() + ": " + ec.message();
      return false;
    }
    tools::StagedFile staged(target.string());
    if (!staged.ok() || !staged.copyFrom(e.source) || !staged.commit(0644)) {
      error = staged.error();
      return false;
    }
  }
  return true;
}

std::string authorityOf(const std::string& url) {
  const auto parsed = platform::parseHttpUrl(url);
  return parsed ? parsed->authority() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (auto answered = tools::answerInfoOptions(kTool, args, kUsage)) return *answered;
  std::string error;
  auto line = tools::parseCommandLine(
      args, {{"--system", true}, {"--arch", true}, {"--crl", true}, {"--force"}}, error);
  if (!line) return tools::refuse(kTool, error + " (see --help)");
  if (line->positionals.size() != 3) {
    return tools::refuse(kTool, "expected INSTALLER, SIGNATURE and TREE (see --help)");
  }
  if (!line->has("--system")) return tools::refuse(kTool, "no --system given (see --help)");
  const std::string& installer = line->positionals[0];
  const std::string& signaturePath = line->positionals[1];
  const std::string& tree = line->positionals[2];
  const std::vector<std::string> crlFiles = line->values("--crl");
  std::vector<std::string> inputs{installer, signaturePath};
  inputs.insert(inputs.end(), crlFiles.begin(), crlFiles.end());
  for (const std::string& file : inputs) {
    if (std::string problem = tools::inputFileProblem(file); !problem.empty()) {
      return tools::refuse(kTool, problem);
    }
  }
  std::vector<tools::TreeEntry> entries;
  if (!downloadEntries(*line, installer, signaturePath, entries, error)) {
    return tools::refuse(kTool, error);
  }

  const tools::VerificationReport report =
      tools::verifyWithLists(installer, signaturePath, crlFiles);
  if (!report.accepted) {
    return tools::refuse(kTool, "the program would reject this signature: " + report.error);
  }
  const tools::CrlPlan plan = tools::planCrls(report.chain, crlFiles);
  if (!plan.error.empty()) return tools::refuse(kTool, tools::printable(plan.error));
  const std::size_t downloads = entries.size();
  for (const tools::CrlPlacement& p : plan.placements) entries.push_back({p.url, p.file, {}});

  if (!planTree(tree, entries, line->has("--force"), error)) {
    return tools::refuse(kTool, tools::printable(error));
  }
  std::error_code ec;
  fs::create_directories(tree, ec);
  if (ec) return tools::refuse(kTool, "cannot create the tree " + tree + ": " + ec.message());
  if (!writeTree(tree, entries, error)) return tools::refuse(kTool, tools::printable(error));

  const std::string downloadHost = authorityOf(entries.front().url);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    std::cout << entries[i].url << "\n";
    if (i >= downloads && authorityOf(entries[i].url) != downloadHost) {
      std::cerr << kTool << ": note: " << entries[i].url << " is on another host than the "
                << "downloads (" << downloadHost << "); serve the tree there too\n";
    }
  }
  for (const std::string& url : plan.unanswered) {
    std::cerr << kTool << ": warning: no revocation list given for " << tools::printable(url)
              << "\n";
  }
  return tools::kExitOk;
}
