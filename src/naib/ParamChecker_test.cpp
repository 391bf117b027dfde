#include "naib/ParamChecker.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace naib {
namespace {

using Args = std::vector<std::string>;

constexpr const char* kUsageLine =
    "Available Options: -silent { -eulaAccepted ( -location <dir> ) -desktopShortcut "
    "-programMenu -allowDownload }\n";

struct Outcome {
  bool goesOn = false;
  bool allowDownload = false;
  bool silent = false;
  NAIBErrorCode error = NAIB_OK;
  std::string out;  // everything written to standard output
  std::optional<Args> params;
};

// Runs the checker as the launch does: the program path first, then args.
Outcome check(const Args& args) {
  Args argv{"/Applications/Install Sample.app/Contents/MacOS/Install Sample"};
  argv.insert(argv.end(), args.begin(), args.end());
  ParamChecker checker(argv);
  Outcome o;
  // Seed the outputs with the opposite of what CheckParams must set, so a flag it forgets
  // to reset shows.
  o.allowDownload = o.silent = true;
  o.error = static_cast<NAIBErrorCode>(-1);
  testing::internal::CaptureStdout();
  o.goesOn = checker.CheckParams(o.allowDownload, o.silent, o.error);
  o.out = testing::internal::GetCapturedStdout();
  if (const Args* p = checker.ParamArray()) o.params = *p;
  return o;
}

struct Accepted {
  Args args;
  bool allowDownload;
  bool silent;
  std::optional<Args> params;
};

TEST(ParamChecker, AcceptedCommandLines) {
  const std::string dir = "/Users/Shared/My Apps";
  const std::vector<Accepted> table = {
      {{}, true, false, std::nullopt},
      {{"-psn_0_12345"}, true, false, std::nullopt},
      {{"-psn_0_1", "-psn"}, true, false, std::nullopt},
      {{"-silent"}, false, false, Args{"-silent"}},
      {{"-psn_0_1", "-silent"}, false, false, Args{"-silent"}},
      {{"-silent", "-allowDownload"}, true, true, Args{"-silent"}},
      {{"-silent", "-eulaAccepted", "-location", dir, "-desktopShortcut", "-programMenu",
        "-allowDownload"},
       true,
       true,
       Args{"-silent", "-eulaAccepted", "-location", dir, "-desktopShortcut", "-programMenu"}},
      // The value of -location is taken as it stands, even when it reads as an option.
      {{"-silent", "-location", "-silent"}, false, true, Args{"-silent", "-location", "-silent"}},
      {{"-location", "-version", "-eulaAccepted"},
       false,
       false,
       Args{"-location", "-version", "-eulaAccepted"}},
      {{"-eulaAccepted", "-allowDownload"}, true, false, Args{"-eulaAccepted"}},
      {{"-allowDownload", "-allowDownload"}, true, false, std::nullopt},
      // Repeats other than -silent are put again, each time.
      {{"-programMenu", "-programMenu", "-location", "a", "-location", "b"},
       false,
       false,
       Args{"-programMenu", "-programMenu", "-location", "a", "-location", "b"}},
      {{"-silent", "-psn_0_7", "-desktopShortcut"},
       false,
       true,
       Args{"-silent", "-desktopShortcut"}},
  };
  for (const Accepted& row : table) {
    SCOPED_TRACE(testing::PrintToString(row.args));
    const Outcome o = check(row.args);
    EXPECT_TRUE(o.goesOn);
    EXPECT_EQ(o.error, NAIB_OK);
    EXPECT_EQ(o.allowDownload, row.allowDownload);
    EXPECT_EQ(o.silent, row.silent);
    EXPECT_EQ(o.params, row.params);
    EXPECT_EQ(o.out, "");
  }
}

TEST(ParamChecker, RejectedCommandLinesPrintTheUsageLineOnce) {
  const std::vector<Args> table = {
      {"-silent", "-version"},
      {"-version", "-silent"},
      {"-eulaAccepted", "-silent"},
      {"-silent", "-silent"},
      {"-silent", "-eulaAccepted", "-silent"},
      {"-silent", "-location"},
      {"-eulaAccepted", "-location"},
      {"-eulaAccepted"},
      {"-allowDownload"},
      {"-location"},
      {"-SILENT"},
      {"-silent "},
      {" -silent"},
      {"-Version"},
      {"-version "},
      {"-silent", "-AllowDownload"},
      {"-silent", "-eulaaccepted"},
      {"-silent", "-"},
      {"-silent", ""},
      {""},
      {"/tmp/some.pkg"},
      {"-psnx", "-silent", "bogus"},
      {"-PSN_0_1"},  // only the exact lower-case prefix marks a serial number
  };
  for (const Args& args : table) {
    SCOPED_TRACE(testing::PrintToString(args));
    const Outcome o = check(args);
    EXPECT_FALSE(o.goesOn);
    EXPECT_EQ(o.error, NAIB_BAD_PARAMS);
    EXPECT_EQ(o.out, kUsageLine);
  }
}

TEST(ParamChecker, VersionAloneAnswersAndStops) {
  const Outcome o = check({"-version"});
  EXPECT_FALSE(o.goesOn);
  EXPECT_EQ(o.error, NAIB_OK);
  EXPECT_EQ(o.out, "17.0.0.124\n");
  EXPECT_EQ(o.params, std::nullopt);

  // The serial-number argument is dropped before the count is taken.
  const Outcome withPsn = check({"-psn_0_42", "-version"});
  EXPECT_FALSE(withPsn.goesOn);
  EXPECT_EQ(withPsn.out, "17.0.0.124\n");
}

TEST(ParamChecker, EntriesPutBeforeARejectionStay) {
  const Outcome o = check({"-eulaAccepted", "-location", "/opt", "-unknown", "-programMenu"});
  EXPECT_FALSE(o.goesOn);
  EXPECT_EQ(o.error, NAIB_BAD_PARAMS);
  EXPECT_EQ(o.params, (Args{"-eulaAccepted", "-location", "/opt"}));
}

TEST(ParamChecker, KeepsTheArgumentsAfterTheProgramPathWithoutSerialNumbers) {
  ParamChecker checker({"/path/Install Sample", "-psn_0_1", "-silent", "x-psn", "-psn", "é"});
  ASSERT_EQ(checker.GetOrigArgCount(), 3u);
  EXPECT_STREQ(checker.GetOrigUtf8Arg(0), "-silent");
  EXPECT_STREQ(checker.GetOrigUtf8Arg(1), "x-psn");
  EXPECT_STREQ(checker.GetOrigUtf8Arg(2), "é");
  EXPECT_EQ(checker.GetOrigUtf8Arg(3), nullptr);
  EXPECT_EQ(checker.ParamArray(), nullptr);

  ParamChecker empty({});
  EXPECT_EQ(empty.GetOrigArgCount(), 0u);
  EXPECT_EQ(empty.GetOrigUtf8Arg(0), nullptr);
}

TEST(ParamChecker, PrintsTheMissingDownloadFlagSentence) {
  ParamChecker checker({"/path/Install Sample"});
  testing::internal::CaptureStdout();
  checker.PrintNeedsAllowDownloadFlag();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Unable to download runtime installer without -allowDownload\n");
}

// A core that records what the rules put, to see the option/value marks that the
// concrete checker does not keep.
class RecordingChecker : public ParamCheckerCore {
 public:
  explicit RecordingChecker(Args args) : args_(std::move(args)) {}
  std::uint32_t GetOrigArgCount() override { return static_cast<std::uint32_t>(args_.size()); }
  const char* GetOrigUtf8Arg(unsigned index) override { return args_[index].c_str(); }
  void PutValidatedUtf8Arg(const char* arg, bool isValue) override {
    put.emplace_back(arg, isValue);
  }
  void PutRuntimeInstallerUtf8Path(const char*) override { ++installerPaths; }

  std::vector<std::pair<std::string, bool>> put;
  int installerPaths = 0;

 private:
  Args args_;
};

TEST(ParamCheckerCore, MarksOnlyTheLocationValueAsAValue) {
  RecordingChecker checker({"-silent", "-location", "-programMenu", "-programMenu",
                            "-allowDownload", "-desktopShortcut"});
  bool allow = false, silent = false;
  NAIBErrorCode error = NAIB_BAD_PARAMS;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(checker.CheckParams(allow, silent, error));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  const std::vector<std::pair<std::string, bool>> expected = {
      {"-silent", false},      {"-location", false},        {"-programMenu", true},
      {"-programMenu", false}, {"-desktopShortcut", false},
  };
  EXPECT_EQ(checker.put, expected);
  EXPECT_EQ(checker.installerPaths, 0);
}

}  // namespace
}  // namespace naib
