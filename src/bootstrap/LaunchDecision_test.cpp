#include "bootstrap/LaunchDecision.h"

#include <gtest/gtest.h>

#include "messages/LocalizedStrings.h"

namespace bootstrap {

void PrintTo(const LaunchDecision& d, std::ostream* os) {
  if (const auto* fact = std::get_if<LaunchFact>(&d.next))
    *os << "fact " << static_cast<int>(*fact);
  else
    *os << "road " << static_cast<int>(std::get<LaunchRoad>(d.next));
  if (d.exitCode) *os << ", exit " << *d.exitCode;
}

namespace {

constexpr RuntimeFound kNone{};
constexpr RuntimeFound kOld{true, 1, true};
constexpr RuntimeFound kCurrent{true, 2, true};
constexpr RuntimeFound kCurrentUnlocated{true, 2, false};

// The launch past the command line, the package and the runtime, with download allowed.
LaunchFacts after(RuntimeFound runtime) {
  return {.commandLineAccepted = true,
          .allowDownload = true,
          .packagePresent = true,
          .runtime = runtime,
          .carriedRuntime = false};
}
LaunchFacts with(LaunchFacts facts, void (*change)(LaunchFacts&)) {
  change(facts);
  return facts;
}

TEST(LaunchDecision, EveryRoadAndItsExitCode) {
  struct Row {
    const char* road;
    LaunchFacts facts;
    LaunchDecision expected;
  };
  const Row rows[] = {
      {"usage", {.commandLineCode = 2}, {LaunchRoad::kCommandLineRejected, 2}},
      {"start", {.commandLineAccepted = true}, {LaunchFact::kPackage}},
      {"no package",
       {.commandLineAccepted = true, .packagePresent = false},
       {LaunchRoad::kPackageMissing, 12}},
      {"detect", {.commandLineAccepted = true, .packagePresent = true}, {LaunchFact::kRuntime}},
      {"runtime 2", after(kCurrent), {LaunchRoad::kApplicationInstaller}},
      {"runtime 2 not located",
       with(after(kCurrentUnlocated), [](LaunchFacts& f) { f.carriedRuntime.reset(); }),
       {LaunchFact::kCarriedRuntime}},
      {"runtime 1 without the flag, policy not asked",
       with(after(kOld), [](LaunchFacts& f) { f.allowDownload = false; }),
       {LaunchRoad::kNeedsAllowDownload, 10}},
      {"runtime 1", after(kOld), {LaunchFact::kUpdatePolicy}},
      {"runtime 1, updates disabled",
       with(after(kOld), [](LaunchFacts& f) { f.updateAllowed = false; }),
       {LaunchRoad::kUpdateDisabled, 15}},
      {"first install, policy not asked", after(kNone), {LaunchFact::kDownloadUrls}},
      {"no URLs",
       with(after(kNone), [](LaunchFacts& f) { f.downloadUrlsComposed = false; }),
       {LaunchRoad::kNoDownloadUrls, 11}},
      {"runtime 1, updates allowed",
       with(after(kOld), [](LaunchFacts& f) { f.updateAllowed = f.downloadUrlsComposed = true; }),
       {LaunchRoad::kDownloadRuntime}},
      {"carried, without the flag",
       with(after(kNone),
            [](LaunchFacts& f) {
              f.allowDownload = false;
              f.carriedRuntime = f.downloadUrlsComposed = true;
            }),
       {LaunchRoad::kCopyCarriedRuntime}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.road);
    EXPECT_EQ(decideLaunch(row.facts), row.expected);
  }
}

TEST(EndMessage, NotFoundMeansUnsupportedOnlyBeforeTheInstallerArrived) {
  using W = EndMessage::Window;
  const std::optional<platform::UrlError> notFound =
      platform::makeUrlError(platform::kUrlErrorFileDoesNotExist, "http://h/installer");
  std::optional<platform::UrlError> otherDomain = notFound;
  otherDomain->domain = "Other";
  EXPECT_EQ(endMessageFor(0, notFound, false, true, true), (EndMessage{}));
  EXPECT_EQ(endMessageFor(11, notFound, false, false, true), (EndMessage{}));
  EXPECT_EQ(endMessageFor(11, notFound, false, true, true),
            (EndMessage{W::kDialog, messages::kMsgSystemUnsupported}));
  EXPECT_EQ(endMessageFor(13, notFound, true, true, true), (EndMessage{W::kAlert}));
  EXPECT_EQ(endMessageFor(11, otherDomain, false, true, false),
            (EndMessage{W::kAlert, messages::kMsgInstallFailed}));
}

}  // namespace
}  // namespace bootstrap
