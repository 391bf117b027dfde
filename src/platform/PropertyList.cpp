#include "platform/PropertyList.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace platform {

namespace {

// Information lists and version files are a few kilobytes; anything far larger is not one
// of them, and reading it whole would only cost memory.
constexpr std::size_t kMaxPropertyListBytes = 16u << 20;

struct PlistDeleter {
  void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

struct MallocDeleter {
  void operator()(void* p) const { std::free(p); }
};
using KeyPtr = std::unique_ptr<char, MallocDeleter>;
using IterPtr = std::unique_ptr<void, MallocDeleter>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::map<std::string, std::string> stringEntries(plist_t dict) {
  std::map<std::string, std::string> entries;
  plist_dict_iter rawIter = nullptr;
  plist_dict_new_iter(dict, &rawIter);
  IterPtr iter(rawIter);
  if (!iter) return entries;
  for (;;) {
    char* rawKey = nullptr;
    plist_t value = nullptr;
    plist_dict_next_item(dict, iter.get(), &rawKey, &value);
    KeyPtr key(rawKey);
    if (value == nullptr) break;
    if (!key || plist_get_node_type(value) != PLIST_STRING) continue;
    std::uint64_t length = 0;
    const char* text = plist_get_string_ptr(value, &length);
    if (text == nullptr) continue;
    entries.emplace(key.get(), std::string(text, static_cast<std::size_t>(length)));
  }
  return entries;
}

}  // namespace

std::optional<std::map<std::string, std::string>> parsePropertyListStrings(
    const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMaxPropertyListBytes) return std::nullopt;
  plist_t raw = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &raw);
  PlistPtr root(raw);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  return stringEntries(root.get());
}

std::optional<std::map<std::string, std::string>> readPropertyListStrings(const std::string& path) {
  // Only a regular file is read: a directory, a pipe or a device is not a property list
  // and could block or never end.
  if (!isRegularFile(path)) return std::nullopt;
  FilePtr file(std::fopen(path.c_str(), "rbe"));
  if (!file) return std::nullopt;
  std::string bytes;
  char chunk[8192];
  while (std::size_t n = std::fread(chunk, 1, sizeof chunk, file.get())) {
    bytes.append(chunk, n);
    if (bytes.size() > kMaxPropertyListBytes) return std::nullopt;
  }
  if (std::ferror(file.get())) return std::nullopt;
  return parsePropertyListStrings(bytes);
}

}  // namespace platform
