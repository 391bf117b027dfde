#include "tools/verify/FetchingVerification.h"

#include <memory>

#include "download/Downloader.h"
#include "platform/runloop/NotificationCenter.h"
#include "platform/runloop/RunLoop.h"
#include "platform/runloop/Signals.h"
#include "signature/SignatureVerification.h"
#include "signature/VerificationPasses.h"
#include "ui/TerminalPresenter.h"

namespace tools {
namespace {

std::string describe(const platform::UrlError& error) {
  return error.failingUrlString + ": " + error.localizedDescription;
}

}  // namespace

VerificationReport verifyFetchingLists(const std::string& data, const std::string& signaturePath) {
  platform::NotificationCenter center;
  platform::NotificationQueue queue(center);
  ui::TerminalPresenter presenter;
  // The Downloader's temporary files are removed by cleanupTempFiles, on every road.
  auto downloader = std::make_shared<download::Downloader>(queue, presenter);
  downloader->setSilent(true);
  VerificationReport report;
  bool done = false;
  signature::SignatureVerification verifier(center, queue);
  verifier.setChainObserver([&report](STACK_OF(X509) * chain) {
    report.chain = signature::chainReferences(chain);
    report.crlUrls = signature::collectCrlUrls(chain);
  });
  verifier.setDownloader(downloader);
  int tag = 0;
  center.addObserver(&tag, signature::kSignatureVerifyDone, [&](const platform::Notification& n) {
    const signature::SignatureVerdict verdict = signature::verdictOf(n);
    if (verdict.verifier != &verifier) return;
    report.accepted = verdict.valid;
    done = true;
    platform::quitMainLoop();
  });
  {
    // Ctrl-C stops a fetch instead of letting a cancelled one pass as "nothing revoked".
    platform::InterruptWatch interrupt([&] {
      report.interrupted = true;
      downloader->stopDownLoad();
      platform::quitMainLoop();
    });
    verifier.verifyDataAtPath(data, signaturePath);
    if (!done && !report.interrupted) platform::runMainLoop();
  }
  center.removeObserver(&tag);
  report.error = verifier.errorString();
  if (verifier.crlPaths()) report.crlFiles = *verifier.crlPaths();
  if (const auto& error = downloader->lastError()) report.fetchError = describe(*error);
  downloader->cleanupTempFiles();
  if (report.interrupted) report.accepted = false;
  return report;
}

}  // namespace tools
