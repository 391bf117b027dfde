#include "ui/TerminalPresenter.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "ui/DisplayText.h"
#include "ui/TerminalText.h"

namespace ui {
namespace {

constexpr int kBarWidth = 30;
// A download reports progress many times a second; a terminal needs far fewer redraws.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr const char* kClearToEndOfLine = "\x1b[K";

double clampPercent(double percent) {
  if (std::isnan(percent)) return 0;
  return std::clamp(percent, 0.0, 100.0);
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

std::string progressLine(const std::string& title, double percent, const std::string& pleaseWait,
                         int barWidth, int columns, const std::string& detail, bool pulsing) {
  const double p = clampPercent(percent);
  const int filled = static_cast<int>(p * barWidth / 100.0);
  const std::string bar = pulsing ? " [" + std::string(barWidth, '-') + "]"
                                  : " [" + std::string(filled, '#') +
                                        std::string(barWidth - filled, '.') + "] " +
                                        std::to_string(static_cast<int>(p)) + "%";
  const std::string withDetail = title + bar + (detail.empty() ? "" : " " + detail);
  const std::string line = withDetail + (pleaseWait.empty() ? "" : " " + pleaseWait);
  // A line that reaches the last column wraps on many terminals, and "\r" then redraws
  // only its second half.
  if (columns <= 0 || displayWidth(line) < columns) return line;
  // Keep the bar: drop the please-wait text first, then the detail, then shorten the title.
  if (displayWidth(withDetail) < columns) return withDetail;
  const int room = columns - 1 - displayWidth(bar);
  if (room < 0) return cutToWidth(bar.substr(1), columns - 1);
  return cutToWidth(title, room) + bar;
}

TerminalPresenter::TerminalPresenter(int outFd, int inFd)
    : outFd_(outFd), inFd_(inFd), inPlace_(takesEscapes(outFd)) {}

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
  showing_ = false;
  interrupt_.reset();
  follower_.reset();
  if (!drawnLine_.empty()) write(std::string("\r") + kClearToEndOfLine);
  drawnLine_.clear();
  printedTenth_ = -1;
  printedTexts_.clear();
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

void TerminalPresenter::redraw(bool force) {
  if (!showing_) return;
  const std::string title = displayTitle(binding_.title ? binding_.title->get() : "");
  const std::string pleaseWait = binding_.pleaseWait ? binding_.pleaseWait->get() : "";
  const double percent = binding_.percent ? binding_.percent->get() : 0.0;
  const std::string detail =
      binding_.transfer ? transferDetail(binding_.transfer->get(), formatSize) : "";
  const bool pulsing = binding_.pulsing && binding_.pulsing->get();
  const std::string line =
      progressLine(title, percent, pleaseWait, kBarWidth, terminalColumns(outFd_), detail, pulsing);
  const std::string texts = title + '\n' + pleaseWait;
  if (!inPlace_) {
    printStep(line, texts, percent);
    return;
  }
  if (line == drawnLine_) return;
  // Only the percentage and the amounts are throttled: a new text ("Verifying
  // download...") may be the last change for a while and must not wait for the next one.
  const auto now = std::chrono::steady_clock::now();
  if (!force && texts == drawnTexts_ && now - drawnAt_ < kRedrawInterval) return;
  write("\r" + line + kClearToEndOfLine);
  drawnLine_ = line;
  drawnTexts_ = texts;
  drawnAt_ = now;
}

// Without escape sequences a line cannot be redrawn, so a log or a dumb terminal gets one
// line per tenth of the way, and one for each new text.
void TerminalPresenter::printStep(const std::string& line, const std::string& texts,
                                  double percent) {
  const int tenth = static_cast<int>(clampPercent(percent) / 10);
  if (tenth == printedTenth_ && texts == printedTexts_) return;
  write(line + "\n");
  printedTenth_ = tenth;
  printedTexts_ = texts;
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
  write(wrapText(displayTitle(title), columns) + "\n\n" + wrapText(message, columns) + "\n");
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
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(outFd_, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a closed standard error loses the text, never the run
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace ui
