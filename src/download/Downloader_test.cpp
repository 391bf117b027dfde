#include "download/Downloader.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/mman.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "libinstall/LibInstall.h"
#include "platform/files/TempDir.h"
#include "platform/files/UniqueFd.h"
#include "platform/runloop/RunLoop.h"
#include "platform/testing/LocalHttpServer.h"
#include "platform/testing/ScratchDir.h"
#include "ui/testing/RecordingPresenter.h"

namespace download {
namespace {

namespace fs = std::filesystem;
using Calls = std::vector<std::string>;
using Paths = std::vector<std::string>;

// One attempt per URL: the cases here are about runs, not retries.
platform::UrlDownloadOptions noRetries() {
  platform::UrlDownloadOptions options;
  options.retryWaitsSeconds.clear();
  return options;
}

struct Received {
  std::string name;
  const void* object = nullptr;
  bool success = false;
  PathList files;
};

class DownloaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("TMPDIR", scratch_.path().c_str(), 1);
    platform::removeTemporaryDirectory();
    for (const char* name : {kInstallerDownloadDone, kCrlDownloadDone, "SomethingElse"}) {
      center_.addObserver(this, name, [this](const platform::Notification& n) {
        Received r;
        r.name = n.name;
        r.object = n.object;
        r.success = std::any_cast<bool>(n.userInfo.at(kDownloaderKeySuccess));
        r.files = std::any_cast<PathList>(n.userInfo.at(kDownloaderKeyFiles));
        received_.push_back(r);
      });
    }
    downloader_.currentProgressPercent().subscribe([this](double p) { percents_.push_back(p); });
    previousSink_ = install::setInstallLogSink(
        [this](install::severity_t, const std::string& line) { log_ += line + "\n"; });
  }
  void TearDown() override {
    install::setInstallLogSink(std::move(previousSink_));
    platform::removeTemporaryDirectory();
    ::unsetenv("TMPDIR");
  }

  /// The install-log lines so far, each followed by a line feed.
  const std::string& log() const { return log_; }

  /// Runs urls (server paths or whole URLs) to their notification.
  void runAll(std::vector<std::string> urls, const std::string& name = kInstallerDownloadDone,
              std::vector<TransferLimits> limits = {},
              std::vector<std::optional<CarriedFile>> carried = {}) {
    runOn(downloader_, std::move(urls), name, std::move(limits), std::move(carried));
  }
  void runOn(Downloader& downloader, std::vector<std::string> urls, const std::string& name,
             std::vector<TransferLimits> limits,
             std::vector<std::optional<CarriedFile>> carried = {}) {
    for (auto& u : urls)
      if (u.rfind("/", 0) == 0) u = server_.url(u);
    downloader.setUrlStrings(urls);
    if (!limits.empty()) downloader.setLimits(limits);
    if (!carried.empty()) downloader.setCarriedFiles(std::move(carried));
    const std::size_t before = received_.size();
    downloader.startDownload(name);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return received_.size() > before; }, 15000));
  }

  std::string tmp(const std::string& name) { return platform::temporaryDirectory() + "/" + name; }
  static std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  double maxPercent() const {
    return percents_.empty() ? 0.0 : *std::max_element(percents_.begin(), percents_.end());
  }

  platform::testing::ScratchDir scratch_;
  platform::testing::LocalHttpServer server_{R"({
    "/installer.pkg": {"bytes": 10000},
    "/installer.sig": {"bytes": 3000},
    "/nolength": {"bytes": 70000, "fault": "nolength"},
    "/half": {"bytes": 40000, "fault": "stall", "after": 20000},
    "/missing": {"status": 404},
    "/reset": {"bytes": 400000, "fault": "reset", "after": 100000},
    "/x.gz": {"file": "x.gz", "type": "application/x-gzip"},
    "/y.gz": {"file": "x.gz", "type": "application/gzip"},
    "/z.gz": {"file": "x.gz", "type": "Application/Gzip"},
    "/w.gz": {"file": "x.gz", "type": "application/octet-stream"},
    "/bomb.crl": {"fault": "gzipbomb", "size": 104857600},
    "/drop": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1},
    "/trickle": {"bytes": 100000, "fault": "trickle", "chunk": 10, "interval": 0.1}
  })"};
  platform::NotificationCenter center_;
  platform::NotificationQueue queue_{center_};
  ui::testing::RecordingPresenter presenter_;
  Downloader downloader_{queue_, presenter_, noRetries()};
  std::vector<Received> received_;
  std::vector<double> percents_;
  std::string log_;
  install::InstallLogSink previousSink_;
};

TEST_F(DownloaderTest, TwoUrlsFinishWithOneNotificationListingBothFiles) {
  runAll({"/installer.pkg", "/installer.sig"});
  platform::runMainLoopUntil([] { return false; }, 100);  // nothing else arrives
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_EQ(received_[0].name, kInstallerDownloadDone);
  EXPECT_EQ(received_[0].object, &downloader_);
  EXPECT_TRUE(received_[0].success);
  EXPECT_EQ(*received_[0].files, (Paths{tmp("installer.pkg"), tmp("installer.sig")}));
  EXPECT_EQ(fs::file_size(tmp("installer.sig")), 3000u);
  EXPECT_EQ(presenter_.calls, (Calls{"enable", "show", "enable", "show", "disable", "close"}));
  EXPECT_EQ(downloader_.currentProgressPercent().get(), 0.0);
  const std::string& lines = log();
  EXPECT_NE(lines.find("Begin runtime download from " + server_.url("/installer.pkg")),
            std::string::npos)
      << lines;
  EXPECT_NE(lines.find("Begin signature download from " + server_.url("/installer.sig")),
            std::string::npos);
  EXPECT_NE(lines.find("Download destination is " + tmp("installer.pkg")), std::string::npos);
  EXPECT_FALSE(downloader_.lastError());
}

TEST_F(DownloaderTest, SilentRunNeverShowsTheWindowButStillTogglesCancel) {
  downloader_.setSilent(true);
  runAll({"/installer.pkg", "/installer.sig"});
  EXPECT_TRUE(received_[0].success);
  EXPECT_EQ(presenter_.calls, (Calls{"enable", "enable", "disable", "close"}));
}

TEST_F(DownloaderTest, FirstFailureEndsTheRunUnlessFailuresAreIgnored) {
  runAll({"/missing", "/installer.sig"});
  EXPECT_FALSE(received_[0].success);
  EXPECT_TRUE(received_[0].files->empty());
  EXPECT_EQ(server_.requests(), (Paths{"GET /missing"}));  // URL 1 never requested
  ASSERT_TRUE(downloader_.lastError());
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorFileDoesNotExist);
  EXPECT_EQ(downloader_.lastError()->domain, platform::kNSURLErrorDomain);
  EXPECT_NE(log().find("Download failure: The requested URL was not found on this server."),
            std::string::npos);
}

TEST_F(DownloaderTest, IgnoredFailuresKeepGoingAndReportSuccess) {
  downloader_.setIgnoreFailures(true);
  runAll({"/reset", "/installer.sig"});
  EXPECT_TRUE(received_[0].success);
  EXPECT_EQ(received_[0].files->back(), tmp("installer.sig"));
  // The cut file was created before the failure, so it leads the list.
  EXPECT_EQ(*received_[0].files, (Paths{tmp("reset"), tmp("installer.sig")}));
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorNetworkConnectionLost);

  runAll({"/installer.pkg", "/missing"});
  EXPECT_TRUE(received_[1].success);  // even when the last URL fails
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorFileDoesNotExist);
}

TEST_F(DownloaderTest, UrlThatCannotBeRequestedStillEndsTheRunByNotification) {
  downloader_.setUrlStrings({"not a url", server_.url("/installer.sig")});
  downloader_.startDownload(kInstallerDownloadDone);
  EXPECT_TRUE(received_.empty());  // never inside the call that started the run
  ASSERT_TRUE(platform::runMainLoopUntil([&] { return !received_.empty(); }, 5000));
  EXPECT_FALSE(received_[0].success);
  ASSERT_TRUE(downloader_.lastError());
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorBadURL);
  EXPECT_EQ(downloader_.lastError()->failingUrlString, "not a url");
  EXPECT_TRUE(server_.requests().empty());
  EXPECT_EQ(std::count(presenter_.calls.begin(), presenter_.calls.end(), "show"), 0);
  EXPECT_NE(log().find("Download failure: could not start download"), std::string::npos);

  downloader_.setIgnoreFailures(true);
  runAll({"ftp://127.0.0.1/x", "/installer.sig"});
  EXPECT_TRUE(received_[1].success);
  EXPECT_EQ(*received_[1].files, (Paths{tmp("installer.sig")}));
}

TEST_F(DownloaderTest, CancelDuringTheSecondUrlReportsFailureWithBothFiles) {
  downloader_.setUrlStrings({server_.url("/installer.pkg"), server_.url("/half")});
  downloader_.startDownload(kInstallerDownloadDone);
  ASSERT_TRUE(platform::runMainLoopUntil([&] { return maxPercent() >= 50.0; }, 10000));
  presenter_.calls.clear();
  downloader_.stopDownLoad();
  platform::runMainLoopUntil([] { return false; }, 300);
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_FALSE(received_[0].success);
  EXPECT_EQ(*received_[0].files, (Paths{tmp("installer.pkg"), tmp("half")}));
  EXPECT_EQ(presenter_.calls, (Calls{"disable", "close"}));
  EXPECT_FALSE(downloader_.lastError());  // a cancel is not an error
  EXPECT_NE(log().find("Download cancelled"), std::string::npos);
}

TEST_F(DownloaderTest, PercentFollowsTheAnnouncedLengthAfterTheFirst16384Bytes) {
  downloader_.setUrlStrings({server_.url("/half")});
  downloader_.startDownload(kInstallerDownloadDone);
  ASSERT_TRUE(platform::runMainLoopUntil([&] { return maxPercent() >= 50.0; }, 10000));
  EXPECT_EQ(maxPercent(), 50.0);  // 20000 of 40000
  downloader_.stopDownLoad();
  platform::runMainLoopUntil([&] { return !received_.empty(); }, 2000);

  percents_.clear();
  runAll({"/installer.pkg"});  // 10000 bytes: never past the threshold
  EXPECT_EQ(maxPercent(), 0.0);
  EXPECT_FALSE(percents_.empty());  // resets still reach the observers
  runAll({"/nolength"});            // length unknown
  EXPECT_EQ(maxPercent(), 0.0);
}

TEST_F(DownloaderTest, TransferAmountsCountEachUrlWithItsLengthAndEndAtZero) {
  std::vector<ui::TransferAmounts> seen;
  downloader_.transferAmounts().subscribe([&](const ui::TransferAmounts& t) { seen.push_back(t); });
  runAll({"/installer.pkg", "/nolength"});
  auto reached = [&](std::int64_t received, std::int64_t expected, const char* name) {
    return std::any_of(seen.begin(), seen.end(), [&](const ui::TransferAmounts& t) {
      return t.received == received && t.expected == expected && t.name == name;
    });
  };
  EXPECT_TRUE(reached(10000, 10000, "installer.pkg"));
  EXPECT_TRUE(reached(70000, 0, "nolength")) << "an unknown length stays unknown, not -1";
  EXPECT_FALSE(reached(80000, 0, "nolength")) << "the second URL counts from zero";
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.back(), ui::TransferAmounts{});
}

TEST_F(DownloaderTest, OnlyTheTwoGzipTypesAreStoredDecoded) {
  const std::string body(100000, 'q');
  std::string packed;
  {
    // gzip of the body, made with the same tool a server would use
    std::string path = scratch_ / "body";
    std::ofstream(path) << body;
    ASSERT_EQ(std::system(("gzip -n -c " + path + " > " + server_.root() + "/x.gz").c_str()), 0);
    packed = readFile(server_.root() + "/x.gz");
  }
  runAll({"/x.gz", "/y.gz", "/z.gz", "/w.gz"});
  ASSERT_TRUE(received_[0].success);
  const Paths& files = *received_[0].files;
  ASSERT_EQ(files.size(), 4u);
  EXPECT_TRUE(readFile(files[0]) == body);
  EXPECT_TRUE(readFile(files[1]) == body);
  EXPECT_TRUE(readFile(files[2]) == packed);
  EXPECT_TRUE(readFile(files[3]) == packed);
}

TEST_F(DownloaderTest, OtherNotificationNamesRunWithoutBeginLines) {
  runAll({"/installer.pkg"}, "SomethingElse");
  EXPECT_EQ(received_[0].name, "SomethingElse");
  EXPECT_TRUE(received_[0].success);
  EXPECT_EQ(log().find("Begin "), std::string::npos);
  EXPECT_NE(log().find("Download success"), std::string::npos);
}

TEST_F(DownloaderTest, NewUrlListEmptiesTheHandedOutFiles) {
  runAll({"/installer.pkg"});
  PathList handedOut = received_[0].files;
  ASSERT_EQ(handedOut->size(), 1u);
  downloader_.setUrlStrings({server_.url("/installer.sig")});
  EXPECT_TRUE(handedOut->empty());
}

TEST_F(DownloaderTest, ExistingNameIsKeptAndTheCreatedOneIsListedAndCleanedUp) {
  std::ofstream(tmp("installer.pkg")) << "already here";
  runAll({"/installer.pkg"});
  EXPECT_EQ(*received_[0].files, Paths{tmp("installer.pkg-1")});
  EXPECT_EQ(readFile(tmp("installer.pkg")), "already here");
  const std::string dir = platform::temporaryDirectory();
  const std::string created = tmp("installer.pkg-1");
  downloader_.cleanupTempFiles();
  EXPECT_FALSE(fs::exists(created));
  EXPECT_FALSE(fs::exists(dir));
}

TEST_F(DownloaderTest, TemporaryDirectoryThatCannotHoldFilesFailsWithCannotCreateFile) {
  // A plain file where the directory was: no file can be created inside, even for root.
  const std::string dir = platform::temporaryDirectory();
  fs::remove_all(dir);
  std::ofstream(dir) << "";
  runAll({"/installer.pkg"});
  EXPECT_FALSE(received_[0].success);
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorCannotCreateFile);
  EXPECT_TRUE(received_[0].files->empty());
}

TEST_F(DownloaderTest, RevocationRunAfterInstallerRunKeepsStateAndCleansUpBoth) {
  runAll({"/installer.pkg", "/installer.sig"});
  const Paths first = *received_[0].files;
  downloader_.setIgnoreFailures(true);
  runAll({"/missing", "/nolength"}, kCrlDownloadDone);
  EXPECT_TRUE(received_[1].success);
  EXPECT_EQ(*received_[1].files, Paths{tmp("nolength")});
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorFileDoesNotExist);
  EXPECT_NE(log().find("Begin crl download from " + server_.url("/missing")), std::string::npos);

  const std::string second = tmp("nolength");
  downloader_.cleanupTempFiles();
  for (const auto& path : first) EXPECT_FALSE(fs::exists(path)) << path;
  EXPECT_FALSE(fs::exists(second));
  downloader_.cleanupTempFiles();  // again: nothing left, nothing fails
}

TEST_F(DownloaderTest, LateCancelAndExhaustedListStillGiveOneNotificationPerRun) {
  runAll({"/installer.pkg"});
  downloader_.stopDownLoad();  // the run has ended: nothing to cancel, nothing to post
  platform::runMainLoopUntil([] { return false; }, 200);
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_TRUE(received_[0].success);

  downloader_.startDownload(kInstallerDownloadDone);  // index already past the list
  ASSERT_TRUE(platform::runMainLoopUntil([&] { return received_.size() == 2; }, 2000));
  EXPECT_FALSE(received_[1].success);
  EXPECT_EQ(server_.requests().size(), 1u);
}

TEST_F(DownloaderTest, EachUrlHasTheLimitsOfItsKindAndANewListForgetsThem) {
  runAll({"/installer.pkg", "/installer.sig"}, kInstallerDownloadDone, {{20000, 0}, {2000, 0}});
  EXPECT_FALSE(received_[0].success);
  EXPECT_EQ(fs::file_size(tmp("installer.pkg")), 10000u);
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorDataLengthExceedsMaximum);
  EXPECT_NE(log().find("Download failure: The resource exceeds the maximum size."),
            std::string::npos);

  // The last cap covers the rest of the list; decoded bytes count against it.
  downloader_.setIgnoreFailures(true);
  runAll({"/installer.sig", "/bomb.crl", "/installer.pkg"}, kCrlDownloadDone, {{1 << 20, 0}});
  EXPECT_TRUE(received_[1].success);
  ASSERT_EQ(received_[1].files->size(), 3u);
  EXPECT_EQ(downloader_.lastError()->failingUrlString, server_.url("/bomb.crl"));
  EXPECT_LE(fs::file_size((*received_[1].files)[1]), 1u << 20);

  // A trickle that keeps every speed rule quiet still ends at its URL's time limit.
  runAll({"/trickle"}, kCrlDownloadDone, {{1 << 20, 0.5}});
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorTimedOut);
  EXPECT_EQ(downloader_.lastError()->failingUrlString, server_.url("/trickle"));

  runAll({"/installer.pkg"});
  EXPECT_TRUE(received_[3].success);
}

TEST_F(DownloaderTest, CarriedFilesAreCopiedInsteadOfFetchedOrOnlyWhenTheFetchFails) {
  scratch_.mkdirs("Runtime/folder.crl");
  const std::string installer = scratch_.write("Runtime/installer.pkg", std::string(20000, 'i'));
  const std::string list = scratch_.write("Runtime/missing", "carried list");
  const std::string signature = scratch_.write("Runtime/installer.sig", "carried signature");
  downloader_.setCarriedTree(scratch_ / "Runtime");
  EXPECT_EQ(downloader_.carriedFileFor(server_.url("/installer.pkg")), installer);
  for (const char* path : {"/folder.crl", "/absent", "/a/%2e%2e/%2e%2e/installer.pkg"})
    EXPECT_FALSE(downloader_.carriedFileFor(server_.url(path))) << path;

  runAll({"/installer.pkg", "/installer.sig"}, kInstallerDownloadDone, {},
         {CarriedFile{installer}});
  ASSERT_TRUE(received_[0].success);
  EXPECT_EQ(*received_[0].files, (Paths{tmp("installer.pkg"), tmp("installer.sig")}));
  EXPECT_EQ(readFile(tmp("installer.pkg")), std::string(20000, 'i'));
  EXPECT_EQ(server_.requests(), (std::vector<std::string>{"GET /installer.sig"}));
  EXPECT_EQ(maxPercent(), 100.0);
  EXPECT_EQ(presenter_.calls[1], "show") << "the copy shows the progress window";

  downloader_.setIgnoreFailures(true);
  runAll({"/missing", "/installer.sig"}, kCrlDownloadDone, {},
         {CarriedFile{list, true}, CarriedFile{signature, true}});
  EXPECT_TRUE(received_[1].success);
  EXPECT_EQ(*received_[1].files, (Paths{tmp("missing"), tmp("installer.sig-1")}));
  EXPECT_EQ(readFile(tmp("missing")), "carried list");
  const std::string& lines = log();
  EXPECT_NE(lines.find("Using runtime installer carried in the bundle at " + installer + "\n"),
            std::string::npos);
  EXPECT_EQ(lines.find("Begin runtime download"), std::string::npos);
  EXPECT_NE(lines.find("Download failure: The requested URL was not found on this server.\n"
                       "Using revocation list carried in the bundle at " +
                       list + "\n"),
            std::string::npos)
      << lines;
  EXPECT_EQ(lines.find(signature), std::string::npos) << "a fetched list needs no carried one";
}

// The installer's road: its bytes go into the caller's file, fetched or carried, and only
// its name is listed; a new list forgets the descriptor.
TEST_F(DownloaderTest, APrivateDestinationTakesItsUrlsBytesAndNoFileIsMade) {
  std::string served(10000, '\0');
  for (std::size_t i = 0; i < served.size(); ++i)
    served[i] = static_cast<char>(((i * 7) + (i / 251)) % 256);
  const std::string carried = scratch_.write("Runtime/installer.pkg", std::string(20000, 'i'));
  for (const bool fromBundle : {false, true}) {
    SCOPED_TRACE(fromBundle ? "carried" : "fetched");
    platform::UniqueFd into(::memfd_create("into", MFD_CLOEXEC));
    ASSERT_EQ(::write(into.get(), "held before", 11), 11);
    downloader_.setUrlStrings({server_.url("/installer.pkg"), server_.url("/installer.sig")});
    downloader_.setPrivateDestinations({into.get()});
    if (fromBundle) downloader_.setCarriedFiles({CarriedFile{carried}});
    const std::size_t before = received_.size();
    downloader_.startDownload(kInstallerDownloadDone);
    ASSERT_TRUE(platform::runMainLoopUntil([&] { return received_.size() > before; }, 15000));
    ASSERT_TRUE(received_.back().success);
    EXPECT_EQ(*received_.back().files, (Paths{tmp("installer.pkg"), tmp("installer.sig")}));
    EXPECT_FALSE(fs::exists(tmp("installer.pkg")));
    EXPECT_EQ(readFile("/proc/self/fd/" + std::to_string(into.get())),
              fromBundle ? std::string(20000, 'i') : served);
    downloader_.cleanupTempFiles();
  }
  runAll({"/installer.pkg"});
  EXPECT_EQ(fs::file_size(tmp("installer.pkg")), 10000u);
}

TEST_F(DownloaderTest, ACarriedCopyIsCancelledLikeATransferAndFailsItsUrlWhenItCannotRead) {
  const std::string big = scratch_.write("big", std::string(3 * platform::kCopyPieceBytes, 'b'));
  downloader_.setUrlStrings({server_.url("/big")});
  downloader_.setCarriedFiles({CarriedFile{big}});
  downloader_.startDownload(kInstallerDownloadDone);
  downloader_.stopDownLoad();
  platform::runMainLoopUntil([] { return false; }, 300);
  ASSERT_EQ(received_.size(), 1u);
  EXPECT_FALSE(received_[0].success);
  EXPECT_EQ(*received_[0].files, Paths{tmp("big")});
  EXPECT_LT(fs::file_size(tmp("big")), fs::file_size(big));

  runAll({"/gone"}, kInstallerDownloadDone, {}, {CarriedFile{scratch_ / "gone"}});
  EXPECT_FALSE(received_[1].success);
  EXPECT_EQ(downloader_.lastError()->code, platform::kUrlErrorCannotCreateFile);
  EXPECT_NE(log().find("Download cancelled\n"), std::string::npos);
  EXPECT_NE(log().find("Download failure: cannot read " + (scratch_ / "gone") + ": No such file"),
            std::string::npos);
  EXPECT_TRUE(server_.requests().empty());
}

TEST_F(DownloaderTest, RetryIsLoggedAndTheSameFileCompletes) {
  platform::UrlDownloadOptions quick;
  quick.retryWaitsSeconds = {0.05, 0.05, 0.05, 0.05};
  Downloader retrying{queue_, presenter_, quick};
  runOn(retrying, {"/drop"}, kInstallerDownloadDone, {});
  ASSERT_TRUE(received_[0].success);
  EXPECT_EQ(*received_[0].files, Paths{tmp("drop")});
  EXPECT_EQ(fs::file_size(tmp("drop")), 400000u);
  const std::string& lines = log();
  const auto retry = lines.find("Download interrupted after ");
  ASSERT_NE(retry, std::string::npos) << lines;
  EXPECT_NE(lines.find(" bytes, retrying (1 of 4)\n", retry), std::string::npos) << lines;
  EXPECT_EQ(lines.find("retrying (2 of 4)"), std::string::npos);
  EXPECT_EQ(lines.find("Download destination is "), lines.rfind("Download destination is "));
  EXPECT_EQ(lines.find("Download failure"), std::string::npos);
}

TEST(DownloadDone, ValuesOfAnotherTypeOrMissingReadAsAFailureWithoutFiles) {
  platform::Notification other{kCrlDownloadDone, nullptr, {{kDownloaderKeySuccess, 1}}};
  other.userInfo[kDownloaderKeyFiles] = std::vector<std::string>{"/a"};
  const DownloadDone done = downloadDoneOf(other);
  EXPECT_FALSE(done.success || done.files || done.cancelled);
}

}  // namespace
}  // namespace download
