#pragma once
// For tests: sets the locale variables that decide the preferred languages, clearing the
// others, and puts the previous values back when it goes out of scope.

#include <cstdlib>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace platform::testing {

class ScopedLocaleEnvironment {
 public:
  ScopedLocaleEnvironment() : ScopedLocaleEnvironment({}) {}
  explicit ScopedLocaleEnvironment(
      std::initializer_list<std::pair<std::string, std::string>> values) {
    for (const char* name : kNames) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
      unsetenv(name);
    }
    for (const auto& [name, value] : values) setenv(name.c_str(), value.c_str(), 1);
  }
  ~ScopedLocaleEnvironment() {
    for (const auto& [name, value] : saved_) {
      if (value) {
        setenv(name.c_str(), value->c_str(), 1);
      } else {
        unsetenv(name.c_str());
      }
    }
  }
  ScopedLocaleEnvironment(const ScopedLocaleEnvironment&) = delete;
  ScopedLocaleEnvironment& operator=(const ScopedLocaleEnvironment&) = delete;

 private:
  static constexpr const char* kNames[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace platform::testing
