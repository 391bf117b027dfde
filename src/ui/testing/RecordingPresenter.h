#pragma once
// A presenter for tests: records every call in order and answers modal runs at once.

#include <string>
#include <vector>

#include "ui/Presenter.h"

namespace ui::testing {

class RecordingPresenter : public Presenter {
 public:
  void bindProgress(ProgressBinding b) override {
    binding = std::move(b);
    calls.push_back("bind");
  }
  void showProgress() override {
    showing = true;
    calls.push_back("show");
  }
  void closeProgress() override {
    showing = false;
    calls.push_back("close");
  }
  void setCancelEnabled(bool enabled) override {
    cancelEnabled = enabled;
    calls.push_back(enabled ? "enable" : "disable");
  }
  void runAlert(const std::string& title, const std::string& message,
                const std::string& button) override {
    calls.push_back("alert:" + title + "|" + message + "|" + button);
  }
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& r,
                     const std::string& okText) override {
    dialogRuns = r;
    calls.push_back("dialog:" + title + "|" + okText);
    return 1;
  }

  std::vector<std::string> calls;
  ProgressBinding binding;
  std::vector<TextRun> dialogRuns;
  bool showing = false;
  bool cancelEnabled = false;
};

}  // namespace ui::testing
