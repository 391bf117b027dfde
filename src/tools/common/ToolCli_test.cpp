#include "tools/common/ToolCli.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

const std::vector<OptionSpec> kSpecs = {{"--crl", true}, {"--force"}};

TEST(ToolCli, OptionsValuesAndPositionals) {
  std::string error;
  auto line = parseCommandLine({"a", "--crl", "x", "--crl=y", "-", "--force", "--", "--crl", "b"},
                               kSpecs, error);
  ASSERT_TRUE(line) << error;
  EXPECT_EQ(line->values("--crl"), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(line->value("--crl"), "y");
  EXPECT_TRUE(line->has("--force"));
  EXPECT_EQ(line->positionals, (std::vector<std::string>{"a", "-", "--crl", "b"}));

  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{"--crl"}, "--crl needs a value"},
      {{"--force=yes"}, "--force takes no value"},
      {{"--colour\n"}, "unknown option --colour?"},
  };
  for (const auto& [args, message] : refused) {
    EXPECT_FALSE(parseCommandLine(args, kSpecs, error)) << message;
    EXPECT_EQ(error, message);
  }
}

}  // namespace
}  // namespace tools
