#pragma once
// The user's preferred languages from the POSIX locale environment.

#include <string>
#include <vector>

namespace platform {

/// The colon-separated LANGUAGE entries, then the first set of LC_ALL, LC_MESSAGES, LANG,
/// each in canonical form (codeset and modifier dropped, "_" → "-", Chinese regions given
/// their script); "C", "POSIX" and empty entries skipped. Most preferred first.
std::vector<std::string> preferredLanguages();

}  // namespace platform
