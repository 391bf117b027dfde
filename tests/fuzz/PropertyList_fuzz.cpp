// Feeds arbitrary bytes (XML, binary or neither) to the property-list reader, then every
// string it finds to the version readers, as an information list or a system version file
// would reach them. Besides crashes, it checks that a failed version scan leaves its record
// alone.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "libinstall/MacInstall.h"
#include "libinstall/MacSystemVersion.h"
#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto entries = platform::parsePropertyListStrings(bytes);
  if (!entries) return 0;
  for (const auto& [key, value] : *entries) {
    install::RuntimeVersionInfo info{-1, -2, -3, -4};
    if (!install::scanRuntimeVersion(value, info) &&
        (info.major != -1 || info.minor != -2 || info.bugfix != -3 || info.build != -4)) {
      std::abort();
    }
    install::MacSystemVersion::FromProductVersion(value);
  }
  return 0;
}
