#include "ui/TerminalPresenter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <initializer_list>
#include <string_view>
#include <utility>

#include "platform/files/FileSystem.h"
#include "ui/DisplayText.h"
#include "ui/TerminalText.h"

namespace ui {
namespace {

constexpr int kWidestBar = 30;
constexpr int kNarrowestBar = 10;
// A download reports progress many times a second; a terminal needs far fewer redraws.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr const char* kClearToEndOfLine = "\x1b[K";

double clampPercent(double percent) {
  if (std::isnan(percent)) return 0;
  return std::clamp(percent, 0.0, 100.0);
}

std::string percentText(double clamped) {
  return std::to_string(static_cast<int>(clamped)) + "%";
}

// "[####......] 40%": cells of which the share done is filled; "[----------]" while the
// wait has no known length.
std::string bar(double clamped, int cells, bool pulsing) {
  if (pulsing) return "[" + std::string(cells, '-') + "]";
  const int filled = static_cast<int>(clamped * cells / 100.0);
  return "[" + std::string(filled, '#') + std::string(cells - filled, '.') + "] " +
         percentText(clamped);
}

// The pieces that are not empty, one space between them.
std::string joined(std::initializer_list<std::string_view> pieces) {
  std::string line;
  for (std::string_view piece : pieces) {
    if (piece.empty()) continue;
    if (!line.empty()) line += ' ';
    line += piece;
  }
  return line;
}

// The terminal's width in columns; 0 when it does not say.
int terminalColumns(int fd) {
  winsize size{};
  return ioctl(fd, TIOCGWINSZ, &size) == 0 ? size.ws_col : 0;
}

bool takesEscapes(int fd) {
  const char* term = std::getenv("TERM");
  return isatty(fd) && term && *term && std::string_view(term) != "dumb";
}

// The address stands apart from the words around it the same way in every language, also
// where the text itself puts no space after the link; punctuation still follows it closely.
std::string renderRuns(const std::vector<TextRun>& runs) {
  std::string text;
  bool afterLink = false;
  for (const TextRun& run : runs) {
    const bool apart = run.text.empty() || run.text[0] == ' ' || run.text[0] == '\n' ||
                       startsWithClosingPunctuation(run.text);
    if (afterLink && !apart) text += ' ';
    text += run.text;
    if (run.link) text += " <" + *run.link + ">";
    afterLink = run.link.has_value();
  }
  return text;
}

}  // namespace

std::string progressLine(const ProgressParts& parts, int columns) {
  const double p = clampPercent(parts.percent);
  auto barOf = [&](double percent, int cells) { return bar(percent, cells, parts.pulsing); };
  const std::string detail =
      parts.rate.empty() ? parts.amounts : parts.amounts + " \u00B7 " + parts.rate;
  if (columns <= 0) return joined({parts.title, barOf(p, kWidestBar), detail, parts.pleaseWait});
  // A line that reaches the last column wraps on many terminals, and "\r" then redraws
  // only its second half.
  const int room = columns - 1;
  // The room is measured with two digits of percentage at least, so that the bar keeps its
  // width as the count grows.
  const double measured = std::max(p, 99.0);
  const std::pair<std::string_view, std::string_view> layouts[] = {
      {detail, parts.pleaseWait}, {detail, ""}, {parts.amounts, ""}, {"", ""}};
  for (const auto& [shown, wait] : layouts) {
    const int cells = std::min(
        kWidestBar, room - displayWidth(joined({parts.title, barOf(measured, 0), shown, wait})));
    if (cells >= kNarrowestBar) return joined({parts.title, barOf(p, cells), shown, wait});
  }
  // The ellipsis is given two columns: terminals set up for East Asian text draw it wide.
  const int titleRoom = room - displayWidth(barOf(measured, kNarrowestBar)) - 1 - 2;
  if (titleRoom > 0 && !parts.title.empty())
    return cutToWidth(parts.title, titleRoom) + "\u2026 " + barOf(p, kNarrowestBar);
  const std::string narrowest = barOf(p, kNarrowestBar);
  if (displayWidth(narrowest) <= room) return narrowest;
  return cutToWidth(parts.pulsing ? narrowest : percentText(p), room);
}

TerminalPresenter::TerminalPresenter(int outFd, int inFd, Clock clock)
    : outFd_(outFd), inFd_(inFd), clock_(std::move(clock)), inPlace_(takesEscapes(outFd)) {}

TerminalPresenter::~TerminalPresenter() {
  closeProgress();
}

void TerminalPresenter::bindProgress(ProgressBinding binding) {
  follower_.reset();
  binding_ = std::move(binding);
  if (showing_) follower_ = std::make_unique<ProgressFollower>(binding_, [this] { redraw(false); });
}

void TerminalPresenter::showProgress() {
  if (showing_) return;
  showing_ = true;
  follower_ = std::make_unique<ProgressFollower>(binding_, [this] { redraw(false); });
  // Ctrl-C is Cancel only while a person sees the progress line; without it (standard
  // error is a file or pipe) SIGINT comes from a script and ends the run as a signal.
  if (isatty(outFd_)) {
    interrupt_ = std::make_unique<platform::InterruptWatch>([this] {
      // A disabled Cancel button ignores clicks; Ctrl-C is that button.
      if (cancelEnabled_ && binding_.onCancel) binding_.onCancel();
    });
  }
  redraw(true);
}

void TerminalPresenter::closeProgress() {
  if (!showing_) return;
  if (!inPlace_ && transfer_.received > 0) finishTransfer();
  showing_ = false;
  interrupt_.reset();
  follower_.reset();
  if (!drawnLine_.empty()) write(std::string("\r") + kClearToEndOfLine);
  drawnLine_.clear();
}

void TerminalPresenter::setCancelEnabled(bool enabled) {
  cancelEnabled_ = enabled;
}

void TerminalPresenter::runAlert(const std::string& title, const std::string& message,
                                 const std::string& buttonLabel) {
  printModal(title, message, buttonLabel);
}

int TerminalPresenter::runErrorDialog(const std::string& title, const std::vector<TextRun>& runs,
                                      const std::string& okText) {
  printModal(title, renderRuns(runs), okText);
  return 1;
}

struct TerminalPresenter::Shown {
  ProgressParts parts;
  TransferAmounts transfer;
  /// What, changed, is drawn at once and, without escape sequences, printed on a new line.
  std::string texts() const {
    return parts.title + '\n' + parts.pleaseWait + (parts.pulsing ? "\n-" : "");
  }
};

TerminalPresenter::Shown TerminalPresenter::current() const {
  Shown now;
  now.parts.title = keepProductNameWhole(displayTitle(binding_.title ? binding_.title->get() : ""));
  now.parts.pleaseWait =
      keepProductNameWhole(binding_.pleaseWait ? binding_.pleaseWait->get() : "");
  now.parts.percent = binding_.percent ? binding_.percent->get() : 0.0;
  now.parts.pulsing = binding_.pulsing && binding_.pulsing->get();
  if (binding_.transfer) {
    now.transfer = binding_.transfer->get();
    now.parts.amounts = transferAmountsText(now.transfer, formatSize);
    now.parts.rate = transferRateText(now.transfer, formatSize);
  }
  return now;
}

std::string TerminalPresenter::boundTexts() const {
  return (binding_.title ? binding_.title->get() : "") + '\n' +
         (binding_.pleaseWait ? binding_.pleaseWait->get() : "") +
         (binding_.pulsing && binding_.pulsing->get() ? "\n-" : "");
}

void TerminalPresenter::redraw(bool force) {
  if (!showing_) return;
  if (!inPlace_) {
    printStep(current());
    return;
  }
  // Only the percentage and the amounts are throttled: a new text ("Verifying
  // download...") may be the last change for a while and must not wait for the next one.
  // A transfer calls here for every block it receives; most calls end at this test, before
  // any line is built.
  const auto time = clock_();
  const std::string bound = boundTexts();
  if (!force && bound == drawnBoundTexts_ && time - drawnAt_ < kRedrawInterval) return;
  const Shown now = current();
  const std::string line = progressLine(now.parts, terminalColumns(outFd_));
  if (line == drawnLine_) return;
  write("\r" + line + kClearToEndOfLine);
  drawnLine_ = line;
  drawnBoundTexts_ = bound;
  drawnAt_ = time;
}

// Without escape sequences a line cannot be redrawn, so a log or a dumb terminal gets whole
// lines, each of which reads right on its own: nothing is cut to the width, and a bar
// never starts again from 0 % after another one has ended.
void TerminalPresenter::printStep(const Shown& now) {
  // A transfer has ended once its amounts are reset or another file's bytes arrive.
  if (transfer_.received > 0 && (now.transfer.received == 0 || now.transfer.name != transfer_.name))
    finishTransfer();
  if (now.transfer.received > 0) transfer_ = now.transfer;
  const int tenth = static_cast<int>(clampPercent(now.parts.percent) / 10);
  // A percentage that went back belongs to a bar that starts again; it shows once it moves.
  if (tenth < printedTenth_) printedTenth_ = tenth;
  const bool newTexts = !printedStart_ || now.texts() != printedTexts_;
  if (!newTexts && tenth == printedTenth_) return;
  write(progressLine(now.parts, 0) + "\n");
  printedStart_ = true;
  printedTexts_ = now.texts();
  printedTenth_ = tenth;
}

void TerminalPresenter::finishTransfer() {
  const TransferAmounts done = transfer_;
  // The percentage still belongs to this transfer; printStep sees it go back to 0.
  const bool barMoved = printedTenth_ > 0;
  transfer_ = {};
  // A bar that moved has told its way to 100 % itself; a failure is told by what follows.
  if (barMoved || (done.expected > 0 && done.received < done.expected)) return;
  // A small file's bar would only ever have shown 0 %: one line names it and its size.
  const Shown now = current();
  const std::string title = now.parts.title.empty() ? "" : now.parts.title + ":";
  write(joined({title, done.name, formatSize(static_cast<std::uint64_t>(done.received)),
                now.parts.pleaseWait}) +
        "\n");
}

void TerminalPresenter::endProgressLine() {
  // An alert must not be written over the progress line; the line is drawn again by the
  // next progress change.
  if (drawnLine_.empty()) return;
  write("\n");
  drawnLine_.clear();
}

void TerminalPresenter::printModal(const std::string& title, const std::string& message,
                                   const std::string& buttonLabel) {
  endProgressLine();
  const int columns = terminalColumns(outFd_);
  write(wrapText(keepProductNameWhole(displayTitle(title)), columns) + "\n\n" +
        wrapText(keepProductNameWhole(message), columns) + "\n");
  // Unattended runs must never wait for a person, and neither may a run whose prompt
  // would go into a file (2>log.txt) where nobody sees it.
  if (!isatty(inFd_) || !isatty(outFd_)) return;
  write("[" + buttonLabel + "] (Enter) ");
  // Ctrl-C and Ctrl-D echo no line feed; the next output must not continue the prompt's
  // line.
  if (!waitForEnter()) write("\n");
}

bool TerminalPresenter::waitForEnter() const {
  char c = 0;
  while (true) {
    // Ctrl-C dismisses the message like Enter; the run goes on to its own exit code.
    if (platform::waitForInput(inFd_) == platform::InputWait::Interrupted) return false;
    const ssize_t n = read(inFd_, &c, 1);
    if (n == 1 && c == '\n') return true;
    if (n == 1 || (n < 0 && errno == EINTR)) continue;
    return false;
  }
}

void TerminalPresenter::write(const std::string& text) const {
  // A closed standard error loses the text, never the run.
  platform::writeAll(outFd_, text.data(), text.size());
}

}  // namespace ui
