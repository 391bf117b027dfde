// naib-sign: the runtime publisher's signing step. Writes the detached DER PKCS#7 that the
// program downloads beside the installer, after checking that the program will accept it.

#include <iostream>

#include "tools/common/ToolCli.h"
#include "tools/sign/Signer.h"

namespace {

constexpr char kTool[] = "naib-sign";
constexpr char kUsage[] =
    "Usage: naib-sign --cert SIGNER.pem --key SIGNER.key [--chain CHAIN.pem]\n"
    "                 [--output SIGNATURE] [--force] INSTALLER\n"
    "Signs INSTALLER with a detached DER PKCS#7 signature (default output: INSTALLER.p7),\n"
    "after checking the signer certificate with the rules of naib-bootstrapper: subject,\n"
    "usage, and a chain through CHAIN.pem to the embedded root.\n"
    "Exit status: 0 signed, 2 refused (nothing written).\n";

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (auto answered = tools::answerInfoOptions(kTool, args, kUsage)) return *answered;
  std::string error;
  auto line = tools::parseCommandLine(
      args, {{"--cert", true}, {"--key", true}, {"--chain", true}, {"--output", true}, {"--force"}},
      error);
  if (!line) return tools::refuse(kTool, error + " (see --help)");
  if (line->positionals.size() != 1)
    return tools::refuse(kTool, "expected one INSTALLER (see --help)");
  if (!line->has("--cert") || !line->has("--key")) {
    return tools::refuse(kTool, "--cert and --key are required (see --help)");
  }
  tools::SignRequest request;
  request.installer = line->positionals[0];
  request.certificate = *line->value("--cert");
  request.key = *line->value("--key");
  request.chain = line->value("--chain");
  request.output = line->value("--output").value_or(request.installer + ".p7");
  request.force = line->has("--force");
  if (std::string problem = tools::signInstaller(request); !problem.empty()) {
    return tools::refuse(kTool, tools::printable(problem));
  }
  std::cout << request.output << "\n";
  return tools::kExitOk;
}
