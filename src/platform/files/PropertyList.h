#pragma once
// Property lists (XML or binary) read, and XML ones written, with libplist.

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

/// An XML property list whose top level is a dictionary of the given string entries, in
/// key order. nullopt when a key or a value holds a NUL byte, which a list cannot carry.
std::optional<std::string> propertyListXml(const std::map<std::string, std::string>& entries);

/// Writes propertyListXml(entries) to path (created or replaced, mode 0644 before the
/// umask); false when the list cannot be made or the file cannot be written whole.
bool writePropertyListStrings(const std::string& path,
                              const std::map<std::string, std::string>& entries);

}  // namespace platform
