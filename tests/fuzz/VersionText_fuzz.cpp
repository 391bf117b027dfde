// Feeds arbitrary text to the version readers: the four-number scan of a bundle version,
// the product-version split and the integer reader. Besides crashes it checks their rules:
// a failed scan leaves the record alone, text after the fourth number does not matter,
// leading white space does not matter, and only 2 or 3 pieces give a version of their own.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "libinstall/MacInstall.h"
#include "libinstall/MacSystemVersion.h"
#include "libinstall/NumberScanning.h"

namespace {

bool same(const install::RuntimeVersionInfo& a, const install::RuntimeVersionInfo& b) {
  return a.major == b.major && a.minor == b.minor && a.bugfix == b.bugfix && a.build == b.build;
}

void checkRuntimeVersion(const std::string& text) {
  const install::RuntimeVersionInfo sentinel{-1, -2, -3, -4};
  install::RuntimeVersionInfo info = sentinel;
  const bool ok = install::scanRuntimeVersion(text, info);
  if (!ok && !same(info, sentinel)) std::abort();
  install::RuntimeVersionInfo withTail = sentinel;
  if (install::scanRuntimeVersion(text + " tail", withTail) != ok) std::abort();
  if (!same(info, withTail)) std::abort();
  install::RuntimeVersionInfo indented = sentinel;
  if (install::scanRuntimeVersion("\t " + text, indented) != ok || !same(info, indented)) {
    std::abort();
  }
}

void checkProductVersion(const std::string& text) {
  std::size_t dots = 0;
  for (char c : text) dots += c == '.';
  const install::MacSystemVersion v = install::MacSystemVersion::FromProductVersion(text);
  const install::MacSystemVersion fallback{10, 0, 0};
  if ((dots == 0 || dots > 2) && !(v == fallback)) std::abort();
  if (dots == 1 && v.bugfix != 0) std::abort();
  if (install::stringIntValue(text) != install::stringIntValue(" \n" + text)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  checkRuntimeVersion(text);
  checkProductVersion(text);
  return 0;
}
