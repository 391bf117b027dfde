#include "ui/ErrorDialogController.h"

#include <string_view>

namespace ui {
namespace {

constexpr std::string_view kOpenMarker = "<a href='";
constexpr std::string_view kAddressEnd = "'>";
constexpr std::string_view kCloseMarker = "</a>";

}  // namespace

std::vector<TextRun> parseMessageMarkup(const std::string& message) {
  std::vector<TextRun> runs;
  if (message.empty()) return runs;
  const std::string_view text(message);
  std::size_t cursor = 0;
  while (true) {
    const std::size_t open = text.find(kOpenMarker, cursor);
    const std::size_t addressStart = open == text.npos ? text.npos : open + kOpenMarker.size();
    const std::size_t addressEnd =
        addressStart == text.npos ? text.npos : text.find(kAddressEnd, addressStart);
    const std::size_t linkStart =
        addressEnd == text.npos ? text.npos : addressEnd + kAddressEnd.size();
    const std::size_t linkEnd =
        linkStart == text.npos ? text.npos : text.find(kCloseMarker, linkStart);
    if (linkEnd == text.npos) {
      // Malformed or absent mark-up is shown as written, not dropped.
      runs.push_back({std::string(text.substr(cursor)), std::nullopt});
      break;
    }
    runs.push_back({std::string(text.substr(cursor, open - cursor)), std::nullopt});
    runs.push_back({std::string(text.substr(linkStart, linkEnd - linkStart)),
                    std::string(text.substr(addressStart, addressEnd - addressStart))});
    cursor = linkEnd + kCloseMarker.size();
    if (cursor == text.size()) break;
  }
  return runs;
}

void ErrorDialogController::setMessage(const std::string& message, const std::string& okText,
                                       const std::string& appName) {
  okText_ = okText;
  title_ = appName;
  runs_ = parseMessageMarkup(message);
}

int ErrorDialogController::runModal() {
  return presenter_.runErrorDialog(title_, runs_, okText_);
}

}  // namespace ui
