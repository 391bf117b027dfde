#include "platform/files/PropertyList.h"

#include <gtest/gtest.h>
#include <plist/plist.h>

#include <cstdlib>
#include <filesystem>
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

TEST(PropertyList, StringsWithNulBytes) {
  // Binary lists may hold NUL bytes in strings. One-byte strings end at their first NUL (the
  // library reads them as C strings); two-byte strings keep their whole text, keys included,
  // and must not stop the reader.
  const std::string oneByte(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd2\x01\x02\x03\x04\x5a\x4b\x65\x79\x00\x48\x69"
      "\x64\x64\x65\x6e\x5f\x10\x0f\x43\x46\x42\x75\x6e\x64\x6c\x65\x56\x65\x72\x73\x69"
      "\x6f\x6e\x55\x66\x69\x72\x73\x74\x5a\x32\x2e\x35\x2e\x31\x00\x38\x30\x39\x30\x08"
      "\x0d\x18\x2a\x30\x00\x00\x00\x00\x00\x00\x01\x01\x00\x00\x00\x00\x00\x00\x00\x05"
      "\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x3b",
      96);
  auto entries = parsePropertyListStrings(oneByte);
  ASSERT_TRUE(entries);
  EXPECT_EQ(*entries, (Entries{{"Key", "first"}, {"CFBundleVersion", "2.5.1"}}));

  const std::string twoByte(
      "\x62\x70\x6c\x69\x73\x74\x30\x30\xd1\x01\x02\x63\x00\xe9\x00\x00\x00\x78\x59\x75"
      "\x74\x66\x31\x36\x20\x6b\x65\x79\x08\x0b\x12\x00\x00\x00\x00\x00\x00\x01\x01\x00"
      "\x00\x00\x00\x00\x00\x00\x03\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
      "\x00\x00\x1c",
      63);
  entries = parsePropertyListStrings(twoByte);
  ASSERT_TRUE(entries);
  EXPECT_EQ(*entries, (Entries{{std::string("\xc3\xa9\0x", 4), "utf16 key"}}));
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

TEST(PropertyList, WrittenListsReadBackWhole) {
  const Entries entries{{"CFBundleExecutable", "Install Caf\xc3\xa9 & <Co>"},
                        {"CFBundleVersion", "1.0"},
                        {"Empty", ""}};
  ScratchDir dir;
  ASSERT_TRUE(writePropertyListStrings(dir / "Info.plist", entries));
  EXPECT_EQ(readPropertyListStrings(dir / "Info.plist"), entries);
  // Replaced, not appended to.
  ASSERT_TRUE(writePropertyListStrings(dir / "Info.plist", {{"K", "v"}}));
  EXPECT_EQ(readPropertyListStrings(dir / "Info.plist"), (Entries{{"K", "v"}}));

  // A NUL would cut the entry short in the library's C strings: refused, nothing written.
  EXPECT_FALSE(propertyListXml({{"K", std::string("a\0b", 3)}}));
  EXPECT_FALSE(writePropertyListStrings(dir / "nul.plist", {{std::string("k\0", 2), "v"}}));
  EXPECT_FALSE(std::filesystem::exists(dir / "nul.plist"));
  EXPECT_FALSE(writePropertyListStrings(dir / "missing/Info.plist", entries));
}

}  // namespace
}  // namespace platform
