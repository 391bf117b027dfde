#include "platform/text/Languages.h"

#include <array>
#include <cstdlib>
#include <string_view>

namespace platform {
namespace {

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

// The locale category that decides the messages: the first of these that is set.
std::string messagesLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    std::string value = environment(name);
    if (!value.empty()) return value;
  }
  return "";
}

// POSIX locale names carry the region, not the script; the catalogue tells the two
// Chinese writings apart by script, so the region decides it.
std::string chineseScript(std::string_view region) {
  static constexpr std::array<std::string_view, 2> kSimplified = {"CN", "SG"};
  static constexpr std::array<std::string_view, 3> kTraditional = {"TW", "HK", "MO"};
  for (auto r : kSimplified) {
    if (region == r) return "Hans";
  }
  for (auto r : kTraditional) {
    if (region == r) return "Hant";
  }
  return "";
}

}  // namespace

std::string canonicalLanguageIdentifier(const std::string& entry) {
  std::string id = entry.substr(0, entry.find_first_of(".@"));
  if (id == "C" || id == "POSIX") return "";
  if (id.rfind("zh_", 0) == 0) {
    const std::string script = chineseScript(std::string_view(id).substr(3));
    if (!script.empty()) id = "zh_" + script + "_" + id.substr(3);
  }
  for (char& c : id) {
    if (c == '_') c = '-';
  }
  return id;
}

std::vector<std::string> preferredLanguages() {
  std::vector<std::string> result;
  auto add = [&result](const std::string& entry) {
    std::string id = canonicalLanguageIdentifier(entry);
    if (!id.empty()) result.push_back(std::move(id));
  };
  const std::string language = environment("LANGUAGE");
  std::string::size_type start = 0;
  while (start <= language.size() && !language.empty()) {
    const auto colon = language.find(':', start);
    add(language.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) break;
    start = colon + 1;
  }
  add(messagesLocale());
  return result;
}

}  // namespace platform
