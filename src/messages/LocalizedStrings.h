#pragma once
// The user-visible texts in the user's language, from the embedded catalogue.

#include <optional>
#include <string>

namespace messages {

enum MessageIndex : int {
  kMsgRuntimeNotFound = 0,
  kMsgInstallFailed = 1,
  kMsgOK = 2,
  kMsgCancel = 3,
  kMsgPleaseWait = 4,
  kMsgDownloadFailed = 5,
  kMsgValidationFailed = 6,
  kMsgVerifyingDownload = 7,
  kMsgSystemUnsupported = 8,
  kMsgInstalling = 9,
  kMsgUpdateDisallowed = 10,
};

class LocalizedStrings {
 public:
  /// Message index of the row chosen once per process (on the first call, whatever the
  /// index); nullopt for an index outside 0 to 10.
  static std::optional<std::string> getEmbeddedMessage(int index);
};

/// The catalogue row (0 to 16) for the user's preferred languages; 16 is the default row.
int GetFatalErrorMessageIndex();
/// The first row 0 to 15 whose locale equals code (found true), else 16 (found false).
int FindMessageIndex(const std::string& code, bool& found);

}  // namespace messages
