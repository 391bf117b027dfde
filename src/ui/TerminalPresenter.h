#pragma once
// The presenter without a display: everything on standard error, a one-line progress
// window redrawn in place on a terminal (a line at each tenth elsewhere), and Ctrl-C for
// Cancel.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/runloop/Signals.h"
#include "ui/Presenter.h"
#include "ui/ProgressFollower.h"

namespace ui {

class TerminalPresenter : public Presenter {
 public:
  /// Writes to outFd (standard error) and reads the Enter that dismisses an alert from
  /// inFd (standard input). Both stay owned by the caller. TERM is read here: "dumb", or
  /// no TERM, means no escape sequences, as when outFd is no terminal.
  explicit TerminalPresenter(int outFd = 2, int inFd = 0);
  ~TerminalPresenter() override;

  void bindProgress(ProgressBinding binding) override;
  /// Draws the progress line and, on a terminal only, makes Ctrl-C the Cancel button. On
  /// a terminal that takes escape sequences the line is redrawn in place; otherwise a new
  /// line is printed whenever the percentage reaches another tenth or a text changes.
  void showProgress() override;
  /// Clears the progress line and gives Ctrl-C back its default action.
  void closeProgress() override;
  void setCancelEnabled(bool enabled) override;
  /// Prints title and message, wrapped at words to the terminal's width, then, only when
  /// both inFd and outFd are terminals, the button as a prompt and waits for Enter (or
  /// Ctrl-C).
  void runAlert(const std::string& title, const std::string& message,
                const std::string& buttonLabel) override;
  /// Prints title and the runs, a link as its text followed by its address in angle
  /// brackets set off by spaces; waits for Enter as runAlert does; returns 1.
  int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                     const std::string& okText) override;

 private:
  void redraw(bool force);
  void printStep(const std::string& line, const std::string& texts, double percent);
  void endProgressLine();
  void printModal(const std::string& title, const std::string& message,
                  const std::string& buttonLabel);
  /// Blocks until a line is read from inFd; false when Ctrl-C came, or input ended or
  /// failed, before a line feed, which leaves the cursor on the prompt's line.
  bool waitForEnter() const;
  void write(const std::string& text) const;

  int outFd_;
  int inFd_;
  bool inPlace_;  ///< outFd is a terminal that takes escape sequences
  ProgressBinding binding_;
  bool showing_ = false;
  bool cancelEnabled_ = true;
  std::unique_ptr<ProgressFollower> follower_;
  std::unique_ptr<platform::InterruptWatch> interrupt_;
  std::string drawnLine_;
  std::string drawnTexts_;  ///< title and please-wait text of drawnLine_
  std::chrono::steady_clock::time_point drawnAt_;
  int printedTenth_ = -1;     ///< without escape sequences: the tenth last printed
  std::string printedTexts_;  ///< and the texts of that line
};

/// The progress line: title, a bar of barWidth cells and the percentage, the transfer's
/// detail, then the please-wait text. percent is clamped to 0..100 (a NaN counts as 0);
/// a pulsing bar is all dashes, without a percentage. When columns is positive the line
/// stays narrower than columns: the please-wait text goes first, then the detail, then the
/// title is shortened.
std::string progressLine(const std::string& title, double percent, const std::string& pleaseWait,
                         int barWidth, int columns = 0, const std::string& detail = "",
                         bool pulsing = false);

}  // namespace ui
