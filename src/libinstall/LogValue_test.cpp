#include "libinstall/LogValue.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/text/Utf8.h"

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
      // '#' is escaped too, so a literal "#012" cannot read like a line feed.
      {"#012 is text", 4096, "#043012 is text"},
      // C1 controls as characters (NEL, CSI) and as raw bytes; any other stray byte.
      {"a\xC2\x85"
       "b\xC2\x9B"
       "c\xC2\xA0",
       4096, "a#302#205b#302#233c\xC2\xA0"},
      {"raw\x85\x9B\xE9\xC3", 4096, "raw#205#233#351#303"},
      {"\xC0\x8A\xED\xA0\x80", 4096, "#300#212#355#240#200"},  // overlong, surrogate
      // Bidirectional overrides and isolates, but not the marks beside them.
      {"x\xE2\x80\xAEy\xE2\x81\xA9z\xE2\x80\x8F", 4096, "x#342#200#256y#342#201#251z\xE2\x80\x8F"},
      {"abcdefgh", 8, "abcdefgh"},
      {"abcdefghij", 8, "abcdefgh ... [2 bytes cut]"},
      // The cut falls before an escape or a character that would not fit whole.
      {"abcdef\ngh", 8, "abcdef ... [3 bytes cut]"},
      {"abcdef" + euro, 8, "abcdef ... [3 bytes cut]"},
      {"abcdefg" + euro, 8, "abcdefg ... [3 bytes cut]"},
      {"abcd\xE2\x80\xAE", 15, "abcd ... [3 bytes cut]"},
      {"abcd\xE2\x80\xAE", 16, "abcd#342#200#256"},
  };
  for (const auto& [value, limit, logged] : cases) {
    SCOPED_TRACE(value);
    EXPECT_EQ(loggableValue(value, limit), logged);
  }
}

TEST(LogValue, EveryValueComesBackFromItsLoggedFormWhichIsPlainUtf8) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  for (const std::string& value :
       {everyByte, "#043#" + everyByte + "\xE2\x80\xAE\xF0\x9F\x98\x80\xE2\x81"}) {
    const std::string logged = loggableValue(value, 1 << 20);
    std::string decoded;
    for (std::size_t i = 0; i < logged.size(); ++i) {
      if (logged[i] != '#') {
        decoded += logged[i];
        continue;
      }
      ASSERT_LE(i + 4, logged.size());
      decoded += static_cast<char>(std::stoi(logged.substr(i + 1, 3), nullptr, 8));
      i += 3;
    }
    EXPECT_EQ(decoded, value);
    for (std::size_t i = 0; i < logged.size();) {
      const auto character = platform::leadingUtf8Character(std::string_view(logged).substr(i));
      ASSERT_TRUE(character) << "not UTF-8 at " << i;
      EXPECT_GE(character->value, U' ') << i;
      i += character->length;
    }
  }
}

}  // namespace
}  // namespace install
