#pragma once
// Property lists (XML or binary) read with libplist.

#include <map>
#include <optional>
#include <string>

namespace platform {

/// The string-valued entries of the top-level dictionary of the property list in bytes;
/// entries of other types are left out. nullopt when bytes are not a property list or
/// its top level is not a dictionary.
std::optional<std::map<std::string, std::string>> parsePropertyListStrings(
    const std::string& bytes);

/// As parsePropertyListStrings over the contents of a regular file; nullopt when the file
/// cannot be read (a directory included).
std::optional<std::map<std::string, std::string>> readPropertyListStrings(const std::string& path);

}  // namespace platform
