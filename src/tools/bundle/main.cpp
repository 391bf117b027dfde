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
    "Usage: naib-bundle [--name APP] [--output DIR] [--program PATH] [--archive]\n"
    "                   [--force] PACKAGE VERSION\n"
    "Makes DIR/Install APP.app (DIR defaults to the current folder, APP to the package\n"
    "folder's name) around naib-bootstrapper, with the application package PACKAGE in its\n"
    "resources and VERSION as its bundle version.\n"
    "  --program PATH  the program to wrap (default: the installed naib-bootstrapper)\n"
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

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (auto answered = tools::answerInfoOptions(kTool, args, kUsage)) return *answered;
  std::string error;
  auto line = tools::parseCommandLine(
      args, {{"--name", true}, {"--output", true}, {"--program", true}, {"--archive"}, {"--force"}},
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
    if (std::string problem = tools::checkArchive(*archive); !problem.empty()) {
      return tools::refuse(kTool, tools::printable(problem));
    }
  }
  if (std::string problem = tools::makeBundle(request); !problem.empty()) {
    return tools::refuse(kTool, tools::printable(problem));
  }
  std::cout << bundle << "\n";
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
