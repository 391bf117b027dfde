// Feeds arbitrary bytes (XML, binary or neither) to the property-list reader, then every
// string it finds to the version readers, as an information list or a system version file
// would reach them. Besides crashes, it checks that a failed version scan leaves its record
// alone, and that the nesting count made before the library runs covers what the library
// really builds: every list it parses is walked again here, and may not nest deeper.
#include <plist/plist.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "libinstall/MacInstall.h"
#include "libinstall/MacSystemVersion.h"
#include "platform/files/PropertyList.h"
#include "platform/files/PropertyListDepth.h"

namespace {

// Depth and node count of the library's tree, walked without recursion.
std::pair<std::uint32_t, std::uint64_t> treeShape(plist_t root) {
  std::vector<std::pair<plist_t, std::uint32_t>> pending{{root, 1}};
  std::uint32_t depth = 0;
  std::uint64_t nodes = 0;
  while (!pending.empty()) {
    auto [node, level] = pending.back();
    pending.pop_back();
    ++nodes;
    depth = std::max(depth, level);
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_ARRAY) {
      for (std::uint32_t i = 0; i < plist_array_get_size(node); ++i)
        pending.emplace_back(plist_array_get_item(node, i), level + 1);
    } else if (type == PLIST_DICT) {
      plist_dict_iter raw = nullptr;
      plist_dict_new_iter(node, &raw);
      std::unique_ptr<void, decltype(&std::free)> iter(raw, &std::free);
      for (;;) {
        plist_t value = nullptr;
        plist_dict_next_item(node, iter.get(), nullptr, &value);
        if (value == nullptr) break;
        // A key is a leaf one level down, as the value beside it.
        ++nodes;
        pending.emplace_back(value, level + 1);
      }
    }
  }
  return {depth, nodes};
}

// What the library builds may never nest deeper than the count made before it runs, or the
// bound applied to that count would not protect it.
void checkCountCoversTheLibrary(const std::string& bytes) {
  if (bytes.empty() || !platform::propertyListWithinLimits(bytes)) return;
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
  if (raw == nullptr) return;
  const auto [depth, nodes] = treeShape(raw);
  plist_free(raw);
  if (bytes.starts_with("bplist00")) {
    const auto counted = platform::binaryListDepth(bytes, platform::PropertyListLimits{});
    if (!counted || depth > *counted || nodes > platform::PropertyListLimits{}.maxObjects)
      std::abort();
  } else if (depth > platform::xmlElementDepth(bytes)) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  checkCountCoversTheLibrary(bytes);
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
