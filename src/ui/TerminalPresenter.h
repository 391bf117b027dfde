#pragma once
// The presenter without a display: everything on standard error, a one-line progress
// window when that is a terminal, and Ctrl-C for Cancel.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/Signals.h"
#include "ui/Presenter.h"
#include "ui/ProgressFollower.h"

namespace ui {

class TerminalPresenter : public Presenter {
 public:
  /// Writes to outFd (standard error) and reads the Enter that dismisses an alert from
  /// inFd (standard input). Both stay owned by the caller.
  explicit TerminalPresenter(int outFd = 2, int inFd = 0);
  ~TerminalPresenter() override;

  void bindProgress(ProgressBinding binding) override;
  /// Draws the progress line and makes Ctrl-C the Cancel button, on a terminal only.
  void showProgress() override;
  /// Clears the progress line and gives Ctrl-C back its default action.
  void closeProgress() override;
  void setCancelEnabled(bool enabled) override;
  /// Prints title and message; waits for Enter (or Ctrl-C) only when inFd is a terminal.
  void runAlert(const std::string& title, const std::string& message,
                const std::string& buttonLabel) override;
  /// Prints title and the runs, a link as its text followed by its address in angle
  /// brackets; waits for Enter as runAlert does; returns 1.
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                     const std::string& okText) override;

 private:
  void redraw(bool force);
  void endProgressLine();
  void printModal(const std::string& title, const std::string& message,
                  const std::string& buttonLabel);
  void write(const std::string& text) const;

  int outFd_;
  int inFd_;
  ProgressBinding binding_;
  bool showing_ = false;
  bool cancelEnabled_ = true;
  std::unique_ptr<ProgressFollower> follower_;
  std::unique_ptr<platform::InterruptWatch> interrupt_;
  std::string drawnLine_;
  std::string drawnTexts_;  ///< title and please-wait text of drawnLine_
  std::chrono::steady_clock::time_point drawnAt_;
};

/// The progress line: title, a bar of barWidth cells and the percentage, then the
/// please-wait text. percent is clamped to 0..100 (a NaN counts as 0). When columns is
/// positive the line stays narrower than columns: the please-wait text goes first, then
/// the title is shortened.
std::string progressLine(const std::string& title, double percent, const std::string& pleaseWait,
                         int barWidth, int columns = 0);

}  // namespace ui
