#include "libinstall/NumberScanning.h"

#include <gtest/gtest.h>

#include <climits>

#include "libinstall/MacInstall.h"

namespace install {
namespace {

struct VersionCase {
  const char* text;
  bool ok;
  RuntimeVersionInfo expected;
};

constexpr RuntimeVersionInfo kUntouched{-7, -7, -7, -7};

bool operator==(const RuntimeVersionInfo& a, const RuntimeVersionInfo& b) {
  return a.major == b.major && a.minor == b.minor && a.bugfix == b.bugfix && a.build == b.build;
}

TEST(RuntimeVersionScan, ReadsFourNumbersOrLeavesTheRecordAlone) {
  const VersionCase cases[] = {
      {"2.5.1.8090", true, {2, 5, 1, 8090}},
      {"1.5.3.9120", true, {1, 5, 3, 9120}},
      {"2.5.1.8090 beta", true, {2, 5, 1, 8090}},
      {"2.5.1.8090.7", true, {2, 5, 1, 8090}},
      {"2.5.1.8090abc", true, {2, 5, 1, 8090}},
      {" 2 . 5 . 1 . 8090", true, {2, 5, 1, 8090}},
      {"\t2\n.\r5\v.\f1 .  8090", true, {2, 5, 1, 8090}},
      {"\xc2\xa0"
       "2.\xe2\x80\x83"
       "5.\xe3\x80\x80"
       "1.\xe2\x80\xa8"
       "8090",
       true,
       {2, 5, 1, 8090}},
      {"+2.-5.+1.-0", true, {2, -5, 1, 0}},
      {"002.05.0001.08090", true, {2, 5, 1, 8090}},
      {"99999999999.1.1.1", true, {INT_MAX, 1, 1, 1}},
      {"-99999999999.1.1.1", true, {INT_MIN, 1, 1, 1}},
      {"2147483647.2147483648.-2147483648.-2147483649", true, {INT_MAX, INT_MAX, INT_MIN, INT_MIN}},
      {"1.2.3.000000000000000000000000000000000004", true, {1, 2, 3, 4}},
      {"2.5.1", false, kUntouched},
      {"2.5.1.", false, kUntouched},
      {"2.5..1.8090", false, kUntouched},
      {"2,5,1,8090", false, kUntouched},
      {"", false, kUntouched},
      {"   ", false, kUntouched},
      {"v2.5.1.8090", false, kUntouched},
      {"2.5.1.- 8090", false, kUntouched},
      {"2.5.1.+-8090", false, kUntouched},
      {"2.5.1.x", false, kUntouched},
      {"2.5.1\xc2"
       ".8090",
       false, kUntouched},  // a lone lead byte is not white space
      {"\xe2\x80\x8b"
       "2.5.1.8090",
       false, kUntouched},                       // U+200B is not white space
      {"\xd9\xa2.5.1.8090", false, kUntouched},  // only ASCII digits count
  };
  for (const auto& c : cases) {
    RuntimeVersionInfo info = kUntouched;
    EXPECT_EQ(scanRuntimeVersion(c.text, info), c.ok) << c.text;
    EXPECT_TRUE(info == c.expected) << c.text << " -> " << info.major << "." << info.minor << "."
                                    << info.bugfix << "." << info.build;
  }
}

TEST(RuntimeVersionScan, StopsAtTheEndOfTheViewNotAtANul) {
  RuntimeVersionInfo info = kUntouched;
  EXPECT_FALSE(scanRuntimeVersion(std::string_view("2.5.1.8090", 5), info));
  EXPECT_TRUE(scanRuntimeVersion(std::string_view("2.5.1.8\0"
                                                  "090",
                                                  11),
                                 info));
  EXPECT_TRUE(info == (RuntimeVersionInfo{2, 5, 1, 8}));
}

TEST(ScanInt, FailureLeavesPositionAndValue) {
  std::size_t pos = 1;
  std::int32_t value = 42;
  EXPECT_FALSE(scanInt("x  - 3", pos, value));
  EXPECT_EQ(pos, 1u);
  EXPECT_EQ(value, 42);
  EXPECT_TRUE(scanInt("x  -3 ", pos, value));
  EXPECT_EQ(pos, 5u);
  EXPECT_EQ(value, -3);
  EXPECT_FALSE(scanInt("x  -3 ", pos, value));
  EXPECT_EQ(pos, 5u);
  pos = 100;
  EXPECT_FALSE(scanInt("12", pos, value));
  EXPECT_FALSE(scanString("12", pos, "."));
  EXPECT_EQ(pos, 100u);
}

TEST(StringIntValue, LeadingNumberElseZero) {
  const std::pair<const char*, std::int32_t> cases[] = {
      {"10", 10},
      {" 6", 6},
      {"\t-1", -1},
      {"+8", 8},
      {"6abc", 6},
      {"8 1", 8},
      {"", 0},
      {"ten", 0},
      {"six", 0},
      {"-", 0},
      {"+ 5", 0},
      {"x10", 0},
      {"99999999999", INT_MAX},
      {"-99999999999", INT_MIN},
      {"\xe3\x80\x80"
       "7",
       7},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(stringIntValue(text), expected) << text;
}

}  // namespace
}  // namespace install
