// naib-bundle: the application maker's step. Wraps the program and an application package
// into "Install <App>.app", the bundle a user starts.

#include <cstdlib>
#include <iostream>
#include <optional>

#include "platform/files/FileSystem.h"
#include "tools/bundle/ArchiveWriter.h"
#include "tools/bundle/BundleMaker.h"
#include "tools/common/ToolCli.h"

namespace {

constexpr char kTool[] = "naib-bundle";
constexpr char kUsage[] =
    "Usage: naib-bundle [--name APP] [--output DIR] [--program PATH] [--runtime TREE]\n"
    "                   [--archive] [--force] PACKAGE VERSION\n"
    "Makes DIR/Install APP.app (DIR defaults to the current folder, APP to the package\n"
    "folder's name) around naib-bootstrapper, with the application package PACKAGE in its\n"
    "resources and VERSION as its bundle version.\n"
    "  --program PATH  the program to wrap (default: the installed naib-bootstrapper)\n"
    "  --runtime TREE  carry the runtime installer, signature and revocation lists of a\n"
    "                  download tree made by naib-publish, for installs without a network;\n"
    "                  each installer is verified as the program verifies it\n"
    "  --archive       also make DIR/Install APP.tar.gz: the bundle, a launcher and a\n"
    "                  README.txt, for giving to people (times from SOURCE_DATE_EPOCH\n"
    "                  when it is set)\n"
    "  --force         replace an existing bundle (and archive)\n"
    "Exit status: 0 made, 2 refused (nothing written, unless the message says the\n"
    "bundle was made but not its archive).\n";

/// The installed file name (bin/../lib/naib-bootstrapper/), else the one beside this tool
/// (a build folder).
std::string privateFile(const std::string& name) {
  const std::string here = platform::executableDirectory();
  const std::string installed = here + "/../lib/naib-bootstrapper/" + name;
  const std::string beside = here + "/" + name;
  if (!platform::fileExists(installed) && platform::fileExists(beside)) return beside;
  return installed;
}

/// With --runtime, what the bundle will carry from the tree; the refusal, else empty.
std::string findRuntime(const tools::CommandLine& line, tools::BundleRequest& request) {
  request.runtimeTree = line.value("--runtime").value_or("");
  if (request.runtimeTree.empty()) {
    return line.has("--runtime") ? "--runtime needs a download tree folder" : "";
  }
  return tools::findCarriedRuntime(request.runtimeTree, request.runtime);
}

void warnAboutMissingLists(const tools::CarriedRuntime& runtime) {
  for (const std::string& url : runtime.missingLists) {
    std::cerr << kTool << ": warning: the tree holds no revocation list for "
              << tools::printable(url) << "; the program will fetch it\n";
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (auto answered = tools::answerInfoOptions(kTool, args, kUsage)) return *answered;
  std::string error;
  auto line = tools::parseCommandLine(args,
                                      {{"--name", true},
                                       {"--output", true},
                                       {"--program", true},
                                       {"--runtime", true},
                                       {"--archive"},
                                       {"--force"}},
                                      error);
  if (!line) return tools::refuse(kTool, error + " (see --help)");
  if (line->positionals.size() != 2) {
    return tools::refuse(kTool, "expected PACKAGE and VERSION (see --help)");
  }
  tools::BundleRequest request;
  request.package = line->positionals[0];
  request.version = line->positionals[1];
  request.appName = line->value("--name").value_or(platform::lastPathComponent(request.package));
  request.outputDir = line->value("--output").value_or(".");
  request.program = line->value("--program").value_or(privateFile("naib-bootstrapper"));
  request.force = line->has("--force");
  if (auto problem = findRuntime(*line, request); !problem.empty()) {
    return tools::refuse(kTool, tools::printable(problem));
  }
  const std::string bundle =
      platform::appendPathComponent(request.outputDir, tools::bundleFileName(request.appName));
  std::optional<tools::ArchiveRequest> archive;
  if (line->has("--archive")) {
    const std::string launcher = privateFile("naib-launcher");
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    archive = tools::ArchiveRequest{
        .appName = request.appName,
        .bundle = bundle,
        .launcher = launcher,
        .outputDir = request.outputDir,
        .inputs = {request.package, request.program, launcher},
        .sourceDateEpoch = epoch ? std::optional<std::string>(epoch) : std::nullopt,
        .force = request.force};
    // What the bundle carries counts among the inputs that date the archive's entries.
    if (!request.runtimeTree.empty()) archive->inputs.push_back(request.runtimeTree);
    if (std::string problem = tools::checkArchive(*archive); !problem.empty()) {
      return tools::refuse(kTool, tools::printable(problem));
    }
  }
  if (std::string problem = tools::makeBundle(request); !problem.empty()) {
    return tools::refuse(kTool, tools::printable(problem));
  }
  std::cout << bundle << "\n";
  warnAboutMissingLists(request.runtime);
  if (archive) {
    if (std::string problem = tools::writeArchive(*archive); !problem.empty()) {
      return tools::refuse(kTool,
                           tools::printable("made " + bundle + " but not its archive: " + problem));
    }
    std::cout << platform::appendPathComponent(request.outputDir,
                                               tools::archiveFileName(request.appName))
              << "\n";
  }
  return tools::kExitOk;
}
