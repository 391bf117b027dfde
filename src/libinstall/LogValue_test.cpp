#include "libinstall/LogValue.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace install {
namespace {

TEST(LogValue, EscapesControlCharactersAndCutsLongValuesWithAMarker) {
  const std::string euro = "\xE2\x82\xAC";  // three bytes
  const std::vector<std::tuple<std::string, std::size_t, std::string>> cases = {
      {"plain /Applications/Install Sample.app", 4096, "plain /Applications/Install Sample.app"},
      {"a\nb\rc\td", 4096, "a#012b#015c#011d"},
      {std::string("nul\0esc\x1b"
                   "del\x7f",
                   12),
       4096, "nul#000esc#033del#177"},
      {"caf\xC3\xA9 " + euro, 4096, "caf\xC3\xA9 " + euro},  // UTF-8 passes unchanged
      {"#012 stays", 4096, "#012 stays"},
      {"abcdefgh", 8, "abcdefgh"},
      {"abcdefghij", 8, "abcdefgh ... [2 bytes cut]"},
      // The cut falls before an escape or a character that would not fit whole.
      {"abcdef\ngh", 8, "abcdef ... [3 bytes cut]"},
      {"abcdef" + euro, 8, "abcdef ... [3 bytes cut]"},
      {"abcdefg" + euro, 8, "abcdefg ... [3 bytes cut]"},
  };
  for (const auto& [value, limit, logged] : cases) {
    SCOPED_TRACE(value);
    EXPECT_EQ(loggableValue(value, limit), logged);
  }
}

}  // namespace
}  // namespace install
