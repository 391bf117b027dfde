#pragma once
// For tests: sets one environment variable (or removes it, for nullopt) and puts the
// previous value back when it goes out of scope.

#include <cstdlib>
#include <optional>
#include <string>

namespace platform::testing {

class ScopedEnvVar {
 public:
  ScopedEnvVar(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) old_ = old;
    set(value);
  }
  ~ScopedEnvVar() { set(old_); }
  ScopedEnvVar(const ScopedEnvVar&) = delete;
  ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

 private:
  void set(const std::optional<std::string>& value) {
    if (value)
      ::setenv(name_.c_str(), value->c_str(), 1);
    else
      ::unsetenv(name_.c_str());
  }
  std::string name_;
  std::optional<std::string> old_;
};

}  // namespace platform::testing
