// Writes what Bundle::main() finds for this executable into the file named by its one
// argument, one value a line: bundle path, resource path, CFBundleVersion, executable path
// ("-" for a missing value). The bundle tests copy it into the layouts they check.
#include <fstream>

#include "platform/files/Bundle.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const platform::Bundle bundle = platform::Bundle::main();
  std::ofstream out(argv[1]);
  out << bundle.bundlePath() << "\n"
      << bundle.resourcePath() << "\n"
      << bundle.infoString("CFBundleVersion").value_or("-") << "\n"
      << bundle.executablePath().value_or("-") << "\n";
  return out ? 0 : 1;
}
