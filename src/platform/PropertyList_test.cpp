#include "platform/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <memory>

#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;
using testing::xmlPlist;
using Entries = std::map<std::string, std::string>;

// A binary property list made by the same library the reader uses, from a dictionary that
// mixes strings with other types.
std::string binaryPlist() {
  std::unique_ptr<void, void (*)(void*)> dict(plist_new_dict(),
                                              [](void* p) { plist_free(static_cast<plist_t>(p)); });
  plist_dict_set_item(dict.get(), "CFBundleVersion", plist_new_string("2.5.1.8090"));
  plist_dict_set_item(dict.get(), "CFBundleExecutable", plist_new_string("Runner"));
  plist_dict_set_item(dict.get(), "Count", plist_new_uint(7));
  plist_dict_set_item(dict.get(), "Flag", plist_new_bool(1));
  char* raw = nullptr;
  uint32_t length = 0;
  plist_to_bin(dict.get(), &raw, &length);
  std::unique_ptr<char, void (*)(char*)> bytes(raw, [](char* p) { plist_to_bin_free(p); });
  return std::string(bytes.get(), length);
}

TEST(PropertyList, ReadsStringEntriesOfXmlAndBinaryLists) {
  auto xml = parsePropertyListStrings(
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
      "<key>ProductVersion</key><string>10.6.8</string>"
      "<key>Build</key><integer>12</integer>"
      "<key>Nested</key><dict><key>Inner</key><string>x</string></dict>"
      "<key>Empty</key><string></string>"
      "</dict></plist>");
  ASSERT_TRUE(xml);
  EXPECT_EQ(*xml, (Entries{{"ProductVersion", "10.6.8"}, {"Empty", ""}}));

  auto binary = parsePropertyListStrings(binaryPlist());
  ASSERT_TRUE(binary);
  EXPECT_EQ(*binary,
            (Entries{{"CFBundleVersion", "2.5.1.8090"}, {"CFBundleExecutable", "Runner"}}));
}

TEST(PropertyList, RejectsWhatIsNotADictionaryList) {
  const std::string binary = binaryPlist();
  const std::string xml = xmlPlist({{"A", "b"}});
  for (const std::string& bytes : {
           std::string(),
           std::string("not a property list at all"),
           std::string("\x00\x01\x02\xff\xfe garbage", 14),
           std::string("<?xml version=\"1.0\"?><plist><array><string>a</string></array></plist>"),
           std::string("<?xml version=\"1.0\"?><plist><string>only</string></plist>"),
           xml.substr(0, xml.size() / 2),
           binary.substr(0, binary.size() - 10),
           binary.substr(0, 12),
           std::string("bplist00") + std::string(40, '\xff'),
       }) {
    EXPECT_FALSE(parsePropertyListStrings(bytes)) << "bytes: " << bytes;
  }
}

TEST(PropertyList, KeepsUtf8AndEntityEscapedText) {
  auto entries = parsePropertyListStrings(
      "<?xml version=\"1.0\"?><plist><dict><key>Name</key>"
      "<string>Caf\xc3\xa9 &amp; co &lt;1&gt;</string></dict></plist>");
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->at("Name"), "Caf\xc3\xa9 & co <1>");
}

TEST(PropertyList, ReadsOnlyRegularFiles) {
  ScratchDir dir;
  EXPECT_EQ(readPropertyListStrings(dir.write("xml.plist", xmlPlist({{"K", "v"}}))),
            (Entries{{"K", "v"}}));
  EXPECT_EQ(readPropertyListStrings(dir.write("bin.plist", binaryPlist()))->at("CFBundleVersion"),
            "2.5.1.8090");
  EXPECT_FALSE(readPropertyListStrings(dir / "missing.plist"));
  EXPECT_FALSE(readPropertyListStrings(dir.mkdirs("dir.plist")));
  EXPECT_FALSE(readPropertyListStrings(dir.write("garbage.plist", "<plist><dict><key>")));
  if (::geteuid() != 0) {  // root reads whatever the mode says
    EXPECT_FALSE(readPropertyListStrings(dir.write("locked.plist", xmlPlist({{"K", "v"}}), 0)));
  }
}

}  // namespace
}  // namespace platform
