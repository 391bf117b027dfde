#include "tools/common/ToolCli.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iostream>

namespace tools {

std::optional<std::string> CommandLine::value(const std::string& name) const {
  auto it = options.find(name);
  if (it == options.end() || it->second.empty()) return std::nullopt;
  return it->second.back();
}

std::vector<std::string> CommandLine::values(const std::string& name) const {
  auto it = options.find(name);
  return it == options.end() ? std::vector<std::string>() : it->second;
}

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<OptionSpec>& specs,
                                            std::string& error) {
  CommandLine line;
  bool optionsEnded = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    // A lone "-" is a name like any other (a file called "-" is still a file).
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      line.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const std::size_t equals = arg.find('=');
    const std::string name = arg.substr(0, equals);
    auto spec = std::find_if(specs.begin(), specs.end(),
                             [&](const OptionSpec& s) { return s.name == name; });
    if (spec == specs.end()) {
      error = "unknown option " + printable(name);
      return std::nullopt;
    }
    std::string value;
    if (equals != std::string::npos) {
      if (!spec->takesValue) {
        error = name + " takes no value";
        return std::nullopt;
      }
      value = arg.substr(equals + 1);
    } else if (spec->takesValue) {
      if (i + 1 >= args.size()) {
        error = name + " needs a value";
        return std::nullopt;
      }
      value = args[++i];
    }
    line.options[name].push_back(std::move(value));
  }
  return line;
}

int refuse(const std::string& tool, const std::string& message) {
  std::cerr << tool << ": " << message << '\n';
  return kExitRefused;
}

std::optional<int> answerInfoOptions(const std::string& tool, const std::vector<std::string>& args,
                                     const std::string& usage) {
  if (args.empty()) return std::nullopt;
  if (args[0] == "--help" || args[0] == "-h") {
    std::cout << usage;
    return kExitOk;
  }
  if (args[0] == "--version") {
    std::cout << tool << ' ' << NAIB_VERSION << '\n';
    return kExitOk;
  }
  return std::nullopt;
}

std::string inputFileProblem(const std::string& path, const std::string& what) {
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!std::filesystem::exists(status)) return "no such " + what + ": " + printable(path);
  if (!std::filesystem::is_regular_file(status)) return printable(path) + " is not a regular file";
  return std::string();
}

std::string printable(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return out;
}

}  // namespace tools
