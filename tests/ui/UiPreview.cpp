// Opens one window of the program, in the language of the environment, with the texts the
// program itself would show, and keeps it open until killed: for looking at the windows.
//   naib-ui-preview progress|alert|dialog
#include <cstdio>
#include <string>

#include "messages/LocalizedStrings.h"
#include "platform/runloop/Observable.h"
#include "platform/runloop/RunLoop.h"
#include "ui/ErrorDialogController.h"
#include "ui/Presenter.h"

namespace {

using messages::LocalizedStrings;

std::string message(int index) {
  return LocalizedStrings::getEmbeddedMessage(index).value_or("");
}

const std::string kAppName = "Install Sample";

}  // namespace

int main(int argc, char** argv) {
  const std::string window = argc > 1 ? argv[1] : "";
  auto presenter = ui::makeLazyPresenter();
  platform::Observable<std::string> title(message(messages::kMsgInstalling) + "Sample");
  platform::Observable<std::string> pleaseWait(message(messages::kMsgPleaseWait));
  platform::Observable<std::string> cancelText(message(messages::kMsgCancel));
  platform::Observable<double> percent(40);
  platform::Observable<ui::TransferAmounts> transfer({124'960'000, 312'400'000, 9'800'000});
  if (window == "progress") {
    presenter->bindProgress({&title, &pleaseWait, &cancelText, &percent, [] {}, &transfer});
    presenter->showProgress();
    platform::runMainLoop();
  } else if (window == "alert") {
    presenter->runAlert(kAppName, message(messages::kMsgRuntimeNotFound),
                        message(messages::kMsgOK));
  } else if (window == "dialog") {
    ui::ErrorDialogController dialog(*presenter);
    dialog.setMessage(message(messages::kMsgSystemUnsupported), message(messages::kMsgOK),
                      kAppName);
    dialog.runModal();
    platform::runMainLoop();
  } else {
    std::fprintf(stderr, "usage: naib-ui-preview progress|alert|dialog\n");
    return 2;
  }
  return 0;
}
