#pragma once
// What the program shows a person, behind one small interface: the progress window, the
// one-button alert and the error dialog. GTK and terminal presenters implement it; tests
// use a recording fake. The core never includes a toolkit header.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/runloop/Observable.h"

namespace ui {

/// One piece of a rendered message: plain text, or link text with its address.
struct TextRun {
  std::string text;
  std::optional<std::string> link;
  bool operator==(const TextRun&) const = default;
};

/// How far the current transfer has come, shown under the progress bar.
struct TransferAmounts {
  std::int64_t received = 0;  ///< bytes of the current URL so far
  std::int64_t expected = 0;  ///< its announced length; 0 when not announced
  double bytesPerSecond = 0;  ///< the recent rate; 0 until measured
  std::string name{};         ///< what is fetched: the file name its URL ends in
  bool operator==(const TransferAmounts&) const = default;
};

/// The values the progress window follows; owned by the model (Downloader, Bootstrapper),
/// which outlives the window.
struct ProgressBinding {
  platform::Observable<std::string>* title = nullptr;
  platform::Observable<std::string>* pleaseWait = nullptr;
  platform::Observable<std::string>* cancelText = nullptr;
  platform::Observable<double>* percent = nullptr;  ///< 0 to 100; drawn clamped
  std::function<void()> onCancel;                   ///< the Cancel button's action
  platform::Observable<TransferAmounts>* transfer = nullptr;
  /// True while the wait has no known length: the bar pulses instead of showing percent.
  platform::Observable<bool>* pulsing = nullptr;
};

class Presenter {
 public:
  virtual ~Presenter() = default;

  /// Gives the progress window its binding; call before the first showProgress().
  virtual void bindProgress(ProgressBinding binding) = 0;
  /// Brings the progress window to the front (shows it); again is harmless.
  virtual void showProgress() = 0;
  /// Closes the progress window if it shows.
  virtual void closeProgress() = 0;
  /// Enables or disables the Cancel button, whether or not the window shows.
  virtual void setCancelEnabled(bool enabled) = 0;

  /// A modal alert titled title showing message literally, with one button; returns when
  /// the person dismisses it.
  virtual void runAlert(const std::string& title, const std::string& message,
                        const std::string& buttonLabel) = 0;

  /// The modal error dialog: runs in order, link runs clickable; returns the code its OK
  /// action ends the modal run with (1). The window stays until the process ends.
  virtual int runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                             const std::string& okText) = 0;
};

/// A presenter that picks GTK (a display is set and GTK initialises) or the terminal the
/// first time a window must actually be shown; calls that show nothing pick nothing.
std::unique_ptr<Presenter> makeLazyPresenter();

}  // namespace ui
