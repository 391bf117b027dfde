#include "libinstall/MacSystemVersion.h"

#include <gtest/gtest.h>

#include "platform/testing/ScratchDir.h"

namespace install {
namespace {

using platform::testing::ScratchDir;
using platform::testing::xmlPlist;

std::string show(const MacSystemVersion& v) {
  return std::to_string(v.major) + "." + std::to_string(v.minor) + "." + std::to_string(v.bugfix);
}

TEST(MacSystemVersion, TwoOrThreePiecesElseTheDefault) {
  const std::pair<const char*, const char*> cases[] = {
      {"10.6.8", "10.6.8"},
      {"10.7", "10.7.0"},
      {"10", "10.0.0"},
      {"10.6.8.1", "10.0.0"},
      {"", "10.0.0"},
      {"11.2.3.", "10.0.0"},
      {"ten.six", "0.0.0"},
      {"10.six.8", "10.0.8"},
      {" 10. 9", "10.9.0"},
      {"10..8", "10.0.8"},
      {"10.6.", "10.6.0"},
      {".6", "0.6.0"},
      {"-1.65536.65537", "65535.0.1"},
      {"99999999999.1", "65535.1.0"},
      {"10.6abc.8x", "10.6.8"},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(show(MacSystemVersion::FromProductVersion(text)), expected) << text;
  }
}

TEST(MacSystemVersion, FileProblemsGiveTheDefault) {
  ScratchDir dir;
  EXPECT_EQ(show(MacSystemVersion::FromPropertyListFile(dir.write(
                "ok.plist", xmlPlist({{"ProductName", "X"}, {"ProductVersion", "10.6.8"}})))),
            "10.6.8");
  for (const std::string& path : {
           dir / "missing.plist",
           dir.mkdirs("dir.plist"),
           dir.write("garbage.plist", "\x01\x02 not a list"),
           dir.write("truncated.plist", xmlPlist({{"ProductVersion", "10.6.8"}}).substr(0, 50)),
           dir.write("nokey.plist", xmlPlist({{"ProductName", "X"}})),
           dir.write("integer.plist",
                     "<plist><dict><key>ProductVersion</key><integer>11</integer></dict></plist>"),
           dir.write("array.plist", "<plist><array><string>10.6.8</string></array></plist>"),
       }) {
    EXPECT_EQ(show(MacSystemVersion::FromPropertyListFile(path)), "10.0.0") << path;
  }
}

}  // namespace
}  // namespace install
