#include "messages/LocalizedStrings.h"

#include "messages/embeddedmessages.h"
#include "platform/text/Languages.h"

namespace messages {
namespace {

// The row chosen for this process; -1 until the first getEmbeddedMessage call. Settings
// changed while the program runs do not move it.
int embeddedStringLocale = -1;

}  // namespace

int FindMessageIndex(const std::string& code, bool& found) {
  found = false;
  for (int row = 0; row < kLanguageRowCount; ++row) {
    if (code == allMessages[row].locale) {
      found = true;
      return row;
    }
  }
  return kDefaultRow;
}

int GetFatalErrorMessageIndex() {
  bool found = false;
  for (const std::string& id : platform::preferredLanguages()) {
    int row = FindMessageIndex(id, found);
    if (found) return row;
    // One level only: "zh-Hans-CN" falls back to "zh-Hans", never to "zh".
    const auto dash = id.rfind('-');
    if (dash == std::string::npos) continue;
    row = FindMessageIndex(id.substr(0, dash), found);
    if (found) return row;
  }
  return kDefaultRow;
}

std::optional<std::string> LocalizedStrings::getEmbeddedMessage(int index) {
  if (embeddedStringLocale == -1) embeddedStringLocale = GetFatalErrorMessageIndex();
  if (index < 0 || index >= kMessageCount) return std::nullopt;
  const char32_t* text = allMessages[embeddedStringLocale].messages[index];
  if (text == nullptr) return std::nullopt;
  return wchartoNSString(text);
}

}  // namespace messages
