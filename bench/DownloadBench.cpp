// Fetches one URL through the Downloader into its private temporary directory and prints
// the wall time, the bytes stored and the process's peak resident memory:
//   download_bench URL
// Prints "seconds=S bytes=N maxrss_kib=K" and exits 0 on a successful run, 1 otherwise.

#include <sys/resource.h>

#include <any>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "download/Downloader.h"
#include "platform/runloop/RunLoop.h"
#include "ui/Presenter.h"

namespace {

// The run is silent: a presenter that shows nothing.
class QuietPresenter : public ui::Presenter {
 public:
  void bindProgress(ui::ProgressBinding) override {}
  void showProgress() override {}
  void closeProgress() override {}
  void setCancelEnabled(bool) override {}
  void runAlert(const std::string&, const std::string&, const std::string&) override {}
  int runErrorDialog(const std::string&, const std::vector<ui::TextRun>&,
                     const std::string&) override {
    return 1;
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s URL\n", argv[0]);
    return 2;
  }
  platform::NotificationCenter center;
  platform::NotificationQueue queue(center);
  QuietPresenter presenter;
  download::Downloader downloader(queue, presenter);
  downloader.setSilent(true);

  bool done = false, success = false;
  std::uintmax_t bytes = 0;
  center.addObserver(&done, download::kInstallerDownloadDone, [&](const platform::Notification& n) {
    success = std::any_cast<bool>(n.userInfo.at(download::kDownloaderKeySuccess));
    auto files = std::any_cast<download::PathList>(n.userInfo.at(download::kDownloaderKeyFiles));
    for (const auto& f : *files) bytes += std::filesystem::file_size(f);
    done = true;
  });

  const auto start = std::chrono::steady_clock::now();
  downloader.setUrlStrings({argv[1]});
  downloader.startDownload(download::kInstallerDownloadDone);
  platform::runMainLoopUntil([&] { return done; }, 600 * 1000);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  downloader.cleanupTempFiles();

  rusage usage{};
  ::getrusage(RUSAGE_SELF, &usage);
  std::printf("seconds=%.3f bytes=%ju maxrss_kib=%ld\n", elapsed.count(), bytes, usage.ru_maxrss);
  return done && success ? 0 : 1;
}
