#include "libinstall/InstallLogMsgs.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "libinstall/LibInstall.h"

// The system log itself (priorities, one entry per call) is observed by the sandboxed
// end-to-end suite through a socket at /dev/log; here the log's sink shows the formatted
// text of every event.
namespace install {
namespace {

struct Line {
  severity_t severity;
  std::string text;
  bool operator==(const Line&) const = default;
};

class InstallLog : public testing::Test {
 protected:
  void SetUp() override {
    previous_ = setInstallLogSink([this](severity_t severity, const std::string& text) {
      lines_.push_back({severity, text});
    });
  }
  void TearDown() override { setInstallLogSink(std::move(previous_)); }

  /// The texts of the lines that log hands to the log, each followed by a line feed.
  std::string captured(const std::function<void()>& log) {
    lines_.clear();
    log();
    std::string texts;
    for (const Line& line : lines_) texts += line.text + "\n";
    return texts;
  }

  std::vector<Line> lines_;

 private:
  InstallLogSink previous_;
};

struct Event {
  std::function<void()> log;
  std::string text;
};

TEST_F(InstallLog, EveryEventWritesItsText) {
  const std::vector<Event> table = {
      {[] { logApplicationBegin("Bootstrapper", "1.2.3", "Mac", "x86"); },
       "Bootstrapper begin with version 1.2.3 on Mac x86"},
      {[] { logApplicationEnd(true, "Bootstrapper", 0); }, "Bootstrapper end with exit code 0"},
      {[] { logApplicationEnd(false, "Bootstrapper", 11); }, "Bootstrapper end with exit code 11"},
      {[] { logRuntimeInstalled(2, 5, 1, 8090, "/Library/Frameworks/Halvex Orvel.framework"); },
       "Installed runtime (2.5.1.8090) located at /Library/Frameworks/Halvex Orvel.framework"},
      {[] { logRuntimeInstalled(-1, 0, 2147483647, -2147483647 - 1, "/x"); },
       "Installed runtime (-1.0.2147483647.-2147483648) located at /x"},
      {[] { logRuntimeNotInstalled(); }, "No installed runtime detected"},
      {[] { logImmediateUpdateDisabled(); },
       "Cannot complete installation because runtime updates are disabled on this machine"},
      {[] { logSubprocessBegin("\"/tmp/a b/installer\" -silent"); },
       "Launching subprocess with commandline \"/tmp/a b/installer\" -silent"},
      {[] { logSubprocessSuccess("Runtime Installer"); }, "Subprocess Runtime Installer succeeded"},
      {[] { logSubprocessFailure("Application Installer", 7); },
       "Subprocess Application Installer failed (7)"},
      {[] { logDownloadBegin("signature", "http://h/r.sig"); },
       "Begin signature download from http://h/r.sig"},
      {[] { logDownloadDest("/tmp/d/r.bin"); }, "Download destination is /tmp/d/r.bin"},
      {[] { logDownloadSuccess(); }, "Download success"},
      {[] { logDownloadFailure("could not start download"); },
       "Download failure: could not start download"},
      {[] { logDownloadCancel(); }, "Download cancelled"},
      {[] { logDownloadRetry(134217728, 1, 4); },
       "Download interrupted after 134217728 bytes, retrying (1 of 4)"},
      {[] { logCarriedFileUsed("signature", "/B.app/Contents/Resources/Runtime/i.p7"); },
       "Using signature carried in the bundle at /B.app/Contents/Resources/Runtime/i.p7"},
      {[] { logProxyNotUsed("unsupported proxy scheme https; connecting directly"); },
       "Proxy settings not used: unsupported proxy scheme https; connecting directly"},
      {[] { logWaitingForInstall(); }, "Waiting for another install to finish"},
      {[] { logSigValid("Detached"); }, "Detached signature verified"},
      {[] { logSigInvalid("Detached"); }, "Detached signature validation failed"},
      {[] { logCouldNotLocateAppDir("/A.app/Contents/Resources/Sample"); },
       "Could not locate native install directory (\"/A.app/Contents/Resources/Sample\")"},
      {[] { logMissingAllowDownloadFlag(); },
       "Unable to download runtime installer without -allowDownload"},
      {[] { logCertChainBegin(); }, "Begin cert chain validation"},
      {[] { logCertRevocationFound(); }, "Cert revocation found"},
      {[] { logCertChainSuccess(); }, "Cert chain validation succeeded"},
      {[] { logCertChainFailure(); }, "Cert chain validation failed"},
  };
  for (const Event& e : table) {
    SCOPED_TRACE(e.text);
    EXPECT_EQ(captured(e.log), e.text + "\n");
  }
}

TEST_F(InstallLog, ArgumentTextIsNeverReadAsAFormat) {
  EXPECT_EQ(captured([] { logDownloadFailure("100%s done %n%d%%"); }),
            "Download failure: 100%s done %n%d%%\n");
  EXPECT_EQ(captured([] { logDownloadBegin("%s%s", "http://h/%n"); }),
            "Begin %s%s download from http://h/%n\n");
}

TEST_F(InstallLog, AMissingTextIsWrittenAsNull) {
  EXPECT_EQ(captured([] { logApplicationBegin("Bootstrapper", nullptr, "Mac", "x86"); }),
            "Bootstrapper begin with version (null) on Mac x86\n");
  EXPECT_EQ(captured([] { logCouldNotLocateAppDir(nullptr); }),
            "Could not locate native install directory (\"(null)\")\n");
}

// The standard-output copy is what this case is about, so it reads standard output.
TEST_F(InstallLog, SeverityOutsideTheTableFailsAfterTheCopy) {
  _logToStdout = true;
  testing::internal::CaptureStdout();
  EXPECT_EQ(installLog(static_cast<severity_t>(4), "lost %d", 4), kInstallFailure);
  EXPECT_EQ(installLog(static_cast<severity_t>(-1), "lost %d", -1), kInstallFailure);
  _logToStdout = false;
  // The copy is written before the severity is looked at, and stays written.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "status lost 4\nstatus lost -1\n");
  EXPECT_TRUE(lines_.empty()) << "nothing of it reaches the log";
  for (severity_t s : {kSeverityError, kSeverityWarning, kSeverityNotice, kSeverityDebug}) {
    EXPECT_EQ(installLog(s, "kept %s", "x"), kInstallOk);
  }
  EXPECT_EQ(lines_, (std::vector<Line>{{kSeverityError, "kept x"},
                                       {kSeverityWarning, "kept x"},
                                       {kSeverityNotice, "kept x"},
                                       {kSeverityDebug, "kept x"}}));
}

TEST(InstallLogQuiet, WritesNothingToStandardOutputByDefault) {
  ASSERT_FALSE(_logToStdout);
  testing::internal::CaptureStdout();
  logDownloadSuccess();
  EXPECT_EQ(installLog(kSeverityNotice, "quiet"), kInstallOk);
  EXPECT_EQ(installLog(static_cast<severity_t>(7), "quiet"), kInstallFailure);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

}  // namespace
}  // namespace install
