#include "libinstall/MacSystemVersion.h"

#include <vector>

#include "libinstall/NumberScanning.h"
#include "platform/files/PropertyList.h"

namespace install {

MacSystemVersion MacSystemVersion::sCachedSystemVersion{};
const MacSystemVersion MacSystemVersion::sMacSystemVersionUninitialized{};

namespace {

constexpr const char kSystemVersionFile[] = "/System/Library/CoreServices/SystemVersion.plist";
constexpr MacSystemVersion kDefaultVersion{10, 0, 0};

std::vector<std::string_view> splitAtDots(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (;;) {
    std::size_t dot = text.find('.');
    pieces.push_back(text.substr(0, dot));
    if (dot == std::string_view::npos) return pieces;
    text.remove_prefix(dot + 1);
  }
}

std::uint16_t low16Bits(std::string_view piece) {
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(stringIntValue(piece)) & 0xFFFFu);
}

}  // namespace

MacSystemVersion MacSystemVersion::GetSystemVersion() {
  return FromPropertyListFile(kSystemVersionFile);
}

MacSystemVersion MacSystemVersion::FromPropertyListFile(const std::string& path) {
  auto entries = platform::readPropertyListStrings(path);
  if (!entries) return kDefaultVersion;
  auto productVersion = entries->find("ProductVersion");
  if (productVersion == entries->end()) return kDefaultVersion;
  return FromProductVersion(productVersion->second);
}

MacSystemVersion MacSystemVersion::FromProductVersion(std::string_view productVersion) {
  const auto pieces = splitAtDots(productVersion);
  if (pieces.size() != 2 && pieces.size() != 3) return kDefaultVersion;
  MacSystemVersion version = kDefaultVersion;
  version.major = low16Bits(pieces[0]);
  version.minor = low16Bits(pieces[1]);
  if (pieces.size() == 3) version.bugfix = low16Bits(pieces[2]);
  return version;
}

}  // namespace install
