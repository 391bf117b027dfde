#pragma once
// The operating system's version, read from the system version file.

#include <cstdint>
#include <string>
#include <string_view>

namespace install {

class MacSystemVersion {
 public:
  std::uint16_t major = 0;
  std::uint16_t minor = 0;
  std::uint16_t bugfix = 0;

  bool operator==(const MacSystemVersion&) const = default;

  /// The version in "/System/Library/CoreServices/SystemVersion.plist"; never fails: 10.0.0
  /// when the file cannot be read or has no usable "ProductVersion". Reads the file on
  /// every call; platform_getPlatformInfo keeps the result.
  static MacSystemVersion GetSystemVersion();

  /// As GetSystemVersion, for the property list at path.
  static MacSystemVersion FromPropertyListFile(const std::string& path);

  /// A "ProductVersion" text split at every ".": with 2 or 3 pieces, major, minor and (with
  /// 3) bugfix are their integer values (stringIntValue), each cut to its low 16 bits;
  /// with any other count of pieces, 10.0.0.
  static MacSystemVersion FromProductVersion(std::string_view productVersion);

  /// The version kept for the process; empty while it equals the sentinel below.
  static MacSystemVersion sCachedSystemVersion;
  static const MacSystemVersion sMacSystemVersionUninitialized;
};

}  // namespace install
