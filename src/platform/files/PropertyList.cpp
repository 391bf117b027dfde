#include "platform/files/PropertyList.h"

#include <plist/plist.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <utility>

#include "platform/files/PropertyListDepth.h"

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
using IterPtr = std::unique_ptr<void, MallocDeleter>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

bool isRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

struct XmlDeleter {
  void operator()(char* text) const { plist_to_xml_free(text); }
};
using XmlPtr = std::unique_ptr<char, XmlDeleter>;

struct BinaryDeleter {
  void operator()(char* bytes) const { plist_to_bin_free(bytes); }
};
using BinaryPtr = std::unique_ptr<char, BinaryDeleter>;

// The whole text of a dictionary key. The library's own key getters assert that a key has
// no NUL byte, and a binary list can carry one, so the key is written out as a one-object
// binary list and read back as a string, whose length the library does report.
std::optional<std::string> keyText(plist_t keyNode) {
  if (keyNode == nullptr || plist_get_node_type(keyNode) != PLIST_KEY) return std::nullopt;
  char* rawBytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(keyNode, &rawBytes, &length);
  BinaryPtr bytes(rawBytes);
  if (!bytes || length == 0) return std::nullopt;
  plist_t rawString = nullptr;
  plist_from_bin(bytes.get(), length, &rawString);
  PlistPtr string(rawString);
  if (!string || plist_get_node_type(string.get()) != PLIST_STRING) return std::nullopt;
  std::uint64_t textLength = 0;
  const char* text = plist_get_string_ptr(string.get(), &textLength);
  if (text == nullptr) return std::nullopt;
  return std::string(text, static_cast<std::size_t>(textLength));
}

std::optional<std::string> stringValue(plist_t value) {
  if (plist_get_node_type(value) != PLIST_STRING) return std::nullopt;
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(value, &length);
  if (text == nullptr) return std::nullopt;
  return std::string(text, static_cast<std::size_t>(length));
}

std::map<std::string, std::string> stringEntries(plist_t dict) {
  std::map<std::string, std::string> entries;
  plist_dict_iter rawIter = nullptr;
  plist_dict_new_iter(dict, &rawIter);
  IterPtr iter(rawIter);
  if (!iter) return entries;
  for (;;) {
    plist_t value = nullptr;
    // No key out of the iterator: that path uses the asserting getter (see keyText).
    plist_dict_next_item(dict, iter.get(), nullptr, &value);
    if (value == nullptr) break;
    auto text = stringValue(value);
    if (!text) continue;
    auto key = keyText(plist_dict_item_get_key(value));
    if (key) entries.emplace(std::move(*key), std::move(*text));
  }
  return entries;
}

}  // namespace

std::optional<std::map<std::string, std::string>> parsePropertyListStrings(
    const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMaxPropertyListBytes) return std::nullopt;
  // The library recurses once per nesting level: a deep list must never reach it.
  if (!propertyListWithinLimits(bytes)) return std::nullopt;
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

std::optional<std::string> propertyListXml(const std::map<std::string, std::string>& entries) {
  PlistPtr dict(plist_new_dict());
  if (!dict) return std::nullopt;
  for (const auto& [key, value] : entries) {
    // The library takes C strings: a NUL would silently cut the entry short.
    if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
      return std::nullopt;
    }
    plist_dict_set_item(dict.get(), key.c_str(), plist_new_string(value.c_str()));
  }
  char* raw = nullptr;
  std::uint32_t length = 0;
  plist_to_xml(dict.get(), &raw, &length);
  XmlPtr xml(raw);
  if (!xml) return std::nullopt;
  return std::string(xml.get(), length);
}

bool writePropertyListStrings(const std::string& path,
                              const std::map<std::string, std::string>& entries) {
  const auto xml = propertyListXml(entries);
  if (!xml) return false;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << *xml;
  out.close();
  return static_cast<bool>(out);
}

}  // namespace platform
