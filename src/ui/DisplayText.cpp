#include "ui/DisplayText.h"

#include <cctype>

#include "messages/LocalizedStrings.h"
#include "messages/embeddedmessages.h"
#include "platform/text/Utf8.h"

namespace ui {
namespace {

constexpr std::string_view kEllipses[] = {"...", "\u2026"};
constexpr std::string_view kProductName = "Halvex Orvel";
constexpr std::string_view kProductNameJoined = "Halvex\u00A0Orvel";
constexpr std::string_view kProductNameCompound = "Halvex-Orvel";

std::string collapseSpaces(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  return out;
}

bool endsWithEllipsis(std::string_view text) {
  for (std::string_view e : kEllipses) {
    if (text.ends_with(e)) return true;
  }
  return false;
}

// Title prefixes of the catalogue that end in an ellipsis, as displayed (spaces collapsed,
// trailing space dropped): the ones that need a space before the name.
const std::vector<std::string>& ellipsisPrefixes() {
  static const std::vector<std::string> prefixes = [] {
    std::vector<std::string> found;
    for (int row = 0; row < messages::kLanguageRowCount; ++row) {
      std::string prefix = collapseSpaces(
          messages::wchartoNSString(messages::allMessages[row].messages[messages::kMsgInstalling]));
      while (!prefix.empty() && prefix.back() == ' ') prefix.pop_back();
      if (endsWithEllipsis(prefix)) found.push_back(prefix);
    }
    return found;
  }();
  return prefixes;
}

const std::vector<std::string>& catalogueAddresses() {
  static const std::vector<std::string> addresses = [] {
    std::vector<std::string> all;
    for (const char32_t* address : messages::kCatalogueAddresses)
      all.push_back(messages::wchartoNSString(address));
    return all;
  }();
  return addresses;
}

// A character that would make the text around an address part of a longer address.
bool continuesAddress(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::string_view("-_~/%?#=&+@").find(c) != std::string_view::npos;
}

// Length of the longest catalogue address at text[at] that stands on its own; 0 if none.
std::size_t addressAt(std::string_view text, std::size_t at) {
  if (at > 0 && continuesAddress(text[at - 1])) return 0;
  std::size_t longest = 0;
  for (const std::string& address : catalogueAddresses()) {
    if (address.size() <= longest || text.compare(at, address.size(), address) != 0) continue;
    const std::size_t end = at + address.size();
    if (end < text.size() && continuesAddress(text[end])) continue;
    longest = address.size();
  }
  return longest;
}

bool isKorean(char32_t c) {
  return (c >= 0x1100 && c <= 0x11FF) || (c >= 0x3130 && c <= 0x318F) ||
         (c >= 0xA960 && c <= 0xA97F) || (c >= 0xAC00 && c <= 0xD7FF) ||
         (c >= 0xFFA0 && c <= 0xFFDC);
}

bool isBlank(const std::vector<TextRun>& runs) {
  for (const TextRun& run : runs) {
    if (run.text.find_first_not_of(" \t\n") != std::string::npos) return false;
  }
  return true;
}

void appendRun(std::vector<TextRun>& runs, TextRun run) {
  if (!run.text.empty() || run.link) runs.push_back(std::move(run));
}

}  // namespace

std::string displayTitle(std::string_view title) {
  std::string shown = collapseSpaces(title);
  for (const std::string& prefix : ellipsisPrefixes()) {
    if (shown.size() > prefix.size() && shown.starts_with(prefix) && shown[prefix.size()] != ' ') {
      shown.insert(prefix.size(), " ");
      break;
    }
  }
  return shown;
}

std::vector<TextRun> linkCatalogueAddresses(const std::string& message) {
  std::vector<TextRun> runs;
  std::string plain;
  for (std::size_t at = 0; at < message.size();) {
    const std::size_t length = message[at] == 'h' ? addressAt(message, at) : 0;
    if (length == 0) {
      plain += message[at++];
      continue;
    }
    appendRun(runs, {std::move(plain), std::nullopt});
    plain.clear();
    const std::string address = message.substr(at, length);
    runs.push_back({address, address});
    at += length;
  }
  appendRun(runs, {std::move(plain), std::nullopt});
  return runs;
}

std::string keepProductNameWhole(std::string_view text) {
  std::string kept;
  for (std::size_t at = text.find(kProductName); at != std::string_view::npos;
       at = text.find(kProductName)) {
    kept.append(text.substr(0, at)).append(kProductNameJoined);
    text.remove_prefix(at + kProductName.size());
  }
  return kept.append(text);
}

std::vector<TextRun> keepProductNameWhole(std::vector<TextRun> runs) {
  for (TextRun& run : runs) run.text = keepProductNameWhole(run.text);
  return runs;
}

std::vector<std::pair<std::size_t, std::size_t>> unbreakableSpans(std::string_view text) {
  std::vector<std::pair<std::size_t, std::size_t>> spans;
  std::size_t begin = 0;
  bool korean = false;
  for (std::size_t at = 0; at <= text.size(); ++at) {
    if (at == text.size() || text[at] == ' ' || text[at] == '\n' || text[at] == '\t') {
      if (korean) spans.emplace_back(begin, at);
      begin = at + 1;
      korean = false;
    } else if (!korean) {
      const auto character = platform::leadingUtf8Character(text.substr(at));
      korean = character && isKorean(character->value);
    }
  }
  for (std::size_t at = text.find(kProductNameCompound); at != std::string_view::npos;
       at = text.find(kProductNameCompound, at + 1))
    spans.emplace_back(at, at + kProductNameCompound.size());
  return spans;
}

MessageParts splitHeadline(const std::vector<TextRun>& runs) {
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const std::size_t lineEnd = runs[i].text.find('\n');
    if (lineEnd == std::string::npos) continue;
    // A line feed inside a link leaves no clean first line to stand above the rest.
    if (runs[i].link) break;
    MessageParts parts;
    parts.headline.assign(runs.begin(), runs.begin() + static_cast<std::ptrdiff_t>(i));
    appendRun(parts.headline, {runs[i].text.substr(0, lineEnd), std::nullopt});
    appendRun(parts.body, {runs[i].text.substr(lineEnd + 1), std::nullopt});
    parts.body.insert(parts.body.end(), runs.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                      runs.end());
    if (isBlank(parts.headline) || isBlank(parts.body)) break;
    return parts;
  }
  return {{}, runs};
}

std::string transferAmountsText(const TransferAmounts& amounts,
                                const std::function<std::string(std::uint64_t)>& formatSize) {
  if (amounts.received <= 0) return "";
  std::string text = formatSize(static_cast<std::uint64_t>(amounts.received));
  if (amounts.expected > 0)
    text += " / " + formatSize(static_cast<std::uint64_t>(amounts.expected));
  return text;
}

std::string transferRateText(const TransferAmounts& amounts,
                             const std::function<std::string(std::uint64_t)>& formatSize) {
  if (amounts.received <= 0 || amounts.bytesPerSecond < 1) return "";
  return formatSize(static_cast<std::uint64_t>(amounts.bytesPerSecond)) + "/s";
}

std::string transferDetail(const TransferAmounts& amounts,
                           const std::function<std::string(std::uint64_t)>& formatSize) {
  const std::string rate = transferRateText(amounts, formatSize);
  return transferAmountsText(amounts, formatSize) + (rate.empty() ? "" : " \u00B7 " + rate);
}

}  // namespace ui
