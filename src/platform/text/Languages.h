#pragma once
// The user's preferred languages from the POSIX locale environment.

#include <string>
#include <vector>

namespace platform {

/// The colon-separated LANGUAGE entries, then the first set of LC_ALL, LC_MESSAGES, LANG,
/// each in canonical form (codeset and modifier dropped, "_" → "-", Chinese regions given
/// their script); "C", "POSIX" and empty entries skipped. Most preferred first.
std::vector<std::string> preferredLanguages();

/// One locale entry ("zh_TW.UTF-8@radical") in canonical form ("zh-Hant-TW"); "" for the
/// entries that name no language ("C", "POSIX", "", "C.UTF-8").
std::string canonicalLanguageIdentifier(const std::string& entry);

}  // namespace platform
