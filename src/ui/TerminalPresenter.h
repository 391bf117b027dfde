#pragma once
// The presenter without a display: everything on standard error, a one-line progress
// window redrawn in place on a terminal (a line at each tenth elsewhere), and Ctrl-C for
// Cancel.

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/runloop/Signals.h"
#include "ui/Presenter.h"
#include "ui/ProgressFollower.h"

namespace ui {

class TerminalPresenter : public Presenter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  /// Writes to outFd (standard error) and reads the Enter that dismisses an alert from
  /// inFd (standard input). Both stay owned by the caller. TERM is read here: "dumb", or
  /// no TERM, means no escape sequences, as when outFd is no terminal. clock times the
  /// redraws of a line drawn in place.
  explicit TerminalPresenter(int outFd = 2, int inFd = 0,
                             Clock clock = std::chrono::steady_clock::now);
  ~TerminalPresenter() override;

  void bindProgress(ProgressBinding binding) override;
  /// Draws the progress line and, on a terminal only, makes Ctrl-C the Cancel button. On
  /// a terminal that takes escape sequences the line is redrawn in place, fitted to the
  /// terminal's width. Otherwise whole lines are printed: the first at 0 %, one whenever
  /// a transfer's bar reaches another tenth or a text changes, and one when a transfer
  /// whose bar never moved (a small file) has arrived, naming it and its size.
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
  /// What the progress line shows now.
  struct Shown;
  Shown current() const;
  /// The bound title, please-wait text and pulsing, as given: a change of any of them is
  /// drawn at once.
  std::string boundTexts() const;
  void redraw(bool force);
  /// Without escape sequences: prints what a reader of a log needs to know of the change.
  void printStep(const Shown& now);
  /// Without escape sequences: the line that ends a transfer, once it has ended.
  void finishTransfer();
  void endProgressLine();
  void printModal(const std::string& title, const std::string& message,
                  const std::string& buttonLabel);
  /// Blocks until a line is read from inFd; false when Ctrl-C came, or input ended or
  /// failed, before a line feed, which leaves the cursor on the prompt's line.
  bool waitForEnter() const;
  void write(const std::string& text) const;

  int outFd_;
  int inFd_;
  Clock clock_;
  bool inPlace_;  ///< outFd is a terminal that takes escape sequences
  ProgressBinding binding_;
  bool showing_ = false;
  bool cancelEnabled_ = true;
  std::unique_ptr<ProgressFollower> follower_;
  std::unique_ptr<platform::InterruptWatch> interrupt_;
  std::string drawnLine_;
  std::string drawnBoundTexts_;  ///< boundTexts() when drawnLine_ was drawn
  std::chrono::steady_clock::time_point drawnAt_;
  // Without escape sequences, what the lines printed so far told.
  bool printedStart_ = false;  ///< the first line of the progress, at 0 %
  std::string printedTexts_;   ///< title and please-wait text of the last line
  TransferAmounts transfer_;   ///< the transfer under way, once a byte of it has arrived
  int printedTenth_ = 0;       ///< its bar's last tenth printed; 0 while its bar has not moved
};

/// What one progress line shows; empty texts are left out.
struct ProgressParts {
  std::string title{};
  double percent = 0;     ///< clamped to 0..100; a NaN counts as 0
  std::string amounts{};  ///< "84.1 MB / 312.4 MB"
  std::string rate{};     ///< "9.8 MB/s"
  std::string pleaseWait{};
  bool pulsing = false;  ///< a wait of unknown length: the bar is all dashes, no percentage
};

/// The progress line: title, a bar and the percentage, the amounts and the rate, then the
/// please-wait text. With columns > 0 the line stays narrower than columns: the bar shrinks
/// from 30 cells to 10, then the please-wait text goes, then the rate, then the amounts,
/// and last the title is cut and ends in "…". With columns of 0 or less the whole line has
/// a bar of 30 cells.
std::string progressLine(const ProgressParts& parts, int columns);

}  // namespace ui
