#pragma once
// The small command-line layer the vendor tools share: options, refusals and exit codes.

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tools {

/// Exit status of a tool that did its job.
inline constexpr int kExitOk = 0;
/// Exit status of a refusal: a bad command line, or input the tool will not work on.
inline constexpr int kExitRefused = 2;

struct OptionSpec {
  std::string name;  ///< with its dashes: "--force"
  bool takesValue = false;
};

/// A parsed command line: each option's values in order (flags get one empty value), then
/// the positional arguments.
struct CommandLine {
  std::map<std::string, std::vector<std::string>> options;
  std::vector<std::string> positionals;

  bool has(const std::string& name) const { return options.count(name) != 0; }
  /// The last value given for name; nullopt when it was not given.
  std::optional<std::string> value(const std::string& name) const;
  /// Every value given for name, in order.
  std::vector<std::string> values(const std::string& name) const;
};

/// Parses args (without the program name) against specs. "--name value" and
/// "--name=value" both give a value; "--" ends the options. nullopt, with a one-line
/// error, for an unknown option, a missing value or a value given to a flag.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& args,
                                            const std::vector<OptionSpec>& specs,
                                            std::string& error);

/// Prints "tool: message" as one line on standard error and returns kExitRefused.
int refuse(const std::string& tool, const std::string& message);

/// Handles --help and --version, which every tool takes before anything else: prints the
/// usage or the version on standard output and returns kExitOk; nullopt when args hold
/// neither (as the first argument).
std::optional<int> answerInfoOptions(const std::string& tool, const std::vector<std::string>& args,
                                     const std::string& usage);

/// Empty when path names a regular file (links followed); else the reason, naming path as
/// what: "no such <what>: <path>", or "<path> is not a regular file" for a folder, a FIFO
/// or a device, on whose first read a tool would wait for ever.
std::string inputFileProblem(const std::string& path, const std::string& what = "file");

/// A text fit for a one-line message: control characters shown as "?".
std::string printable(const std::string& text);

}  // namespace tools
