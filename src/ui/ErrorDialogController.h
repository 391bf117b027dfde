#pragma once
// The modal error dialog: a message whose single-quoted anchors become clickable links.

#include <string>
#include <vector>

#include "ui/Presenter.h"

namespace ui {

/// Splits message into plain and link runs: "<a href='" address "'>" text "</a>"; anything
/// malformed from the cursor on is one plain run, markers and all.
std::vector<TextRun> parseMessageMarkup(const std::string& message);

class ErrorDialogController {
 public:
  explicit ErrorDialogController(Presenter& presenter) : presenter_(presenter) {}

  /// Fills the dialog: message rendered to runs, the OK button's text, the window title.
  void setMessage(const std::string& message, const std::string& okText,
                  const std::string& appName);
  /// Shows the dialog modally; returns the code OK() ends the modal run with (1).
  int runModal();

  const std::vector<TextRun>& runs() const { return runs_; }

 private:
  Presenter& presenter_;
  std::vector<TextRun> runs_;
  std::string okText_;
  std::string title_;
};

}  // namespace ui
