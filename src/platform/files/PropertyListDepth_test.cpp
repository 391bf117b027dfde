#include "platform/files/PropertyListDepth.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "platform/files/PropertyList.h"

namespace platform {
namespace {

std::string repeat(const std::string& s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

TEST(PropertyListDepth, XmlCountsOnlyElementsTheReaderWouldOpen) {
  const std::vector<std::pair<std::string, std::uint64_t>> cases = {
      {"no markup at all", 0},
      {"<plist><dict><key>A</key><string>v</string></dict></plist>", 3},
      {"<?xml version=\"1.0\"?><!DOCTYPE plist PUBLIC \"-//x//EN\" \"p.dtd\"><plist/>", 1},
      {"<plist><array/><array /><true/></plist>", 2},
      // What comments, CDATA, instructions and declarations hold never nests.
      {"<plist><!-- <array><array> --><string/></plist>", 2},
      {"<plist><!--><array> --></plist>", 1},  // "<!-->" does not end a comment
      {"<plist><string><![CDATA[<array><array>]]></string></plist>", 2},
      {"<plist><?pi <array> ?><?pi \"?>\" <array> ?></plist>", 1},
      {"<!DOCTYPE plist [ <!ENTITY e \"<array>\"> ]><plist/>", 1},
      // "<?>" is a whole instruction to the reader, so what follows it counts.
      {"<plist><?><array><array> ?></plist>", 3},
      // A '>' or "/>" inside double quotes ends no tag; single quotes do not protect it.
      {"<plist x=\">\"><array x=\"/>\"><string/></array></plist>", 3},
      {"<plist><array x='/>'><array></plist>", 2},
      // Closing tags close whatever is open, whatever their name.
      {"<plist><array></x><array><array></plist>", 3},
      // A quote inside a tag's name is part of the name, and opens no quoted run.
      {"<plist\"><array><array>", 3},
      // An internal subset ends at "]>" only: what lies before it never closes anything.
      {"<plist><array><!DOCTYPE p [ ] > </array></array> ]><array></plist>", 3},
      // Where the reader gives up, so does the count: a '<' inside a tag, an unknown
      // declaration.
      {"<plist><array x <array><array>", 1},
      {"<plist><!ELEMENT x><array>", 1},
      // An unterminated construct ends the count.
      {"<plist><array><!-- <array><array>", 2},
      {"<plist><array x=\"<array>", 1},
  };
  for (const auto& [text, depth] : cases) EXPECT_EQ(xmlElementDepth(text), depth) << text;
}

// Binary objects with two-byte references, and the list around them (top object first).
std::string be(std::uint64_t v, int bytes) {
  std::string out;
  while (bytes-- > 0) out += static_cast<char>((v >> (8 * bytes)) & 0xFF);
  return out;
}
std::string str(const std::string& s) {
  return static_cast<char>(0x50 | s.size()) + s;
}
std::string container(unsigned marker, std::size_t count, std::vector<std::uint64_t> refs) {
  std::string o(1, static_cast<char>(marker | count));
  for (std::uint64_t r : refs) o += be(r, 2);
  return o;
}
std::string arr(std::vector<std::uint64_t> refs) {
  return container(0xA0, refs.size(), refs);
}
std::string dict(std::vector<std::uint64_t> keysThenValues) {
  return container(0xD0, keysThenValues.size() / 2, keysThenValues);
}
std::string binaryList(const std::vector<std::string>& objects, std::uint64_t top = 0) {
  std::string out = "bplist00";
  std::string table;
  for (const std::string& o : objects) {
    table += be(out.size(), 4);
    out += o;
  }
  return out + table + std::string(6, '\0') + "\x04\x02" + be(objects.size(), 8) + be(top, 8) +
         be(out.size(), 8);
}
// levels arrays, each holding the next, around one string, after the given objects.
std::string chain(std::size_t levels, std::vector<std::string> objects = {}) {
  for (std::size_t i = 0; i < levels; ++i) objects.push_back(arr({objects.size() + 1}));
  objects.push_back(str("leaf"));
  return binaryList(objects);
}

TEST(PropertyListDepth, BinaryWalksReferencesOnceAndRefusesWhatCannotBeRead) {
  // Each level refers to the next one twice: 2^(levels+1) - 1 objects once expanded.
  const auto doubling = [](std::uint64_t levels) {
    std::vector<std::string> objects;
    for (std::uint64_t i = 0; i < levels; ++i) objects.push_back(arr({i + 1, i + 1}));
    objects.push_back(str("x"));
    return binaryList(objects);
  };
  std::string shortTable = chain(3);
  shortTable.erase(shortTable.size() - 40, 8);
  std::string badRefSize = chain(3);
  badRefSize[badRefSize.size() - 25] = 9;

  const std::vector<std::tuple<std::string, std::string, std::optional<std::uint32_t>>> cases = {
      {"lone string", binaryList({str("v")}), 1},
      {"dictionary", binaryList({dict({1, 2, 3, 3}), str("A"), str("B"), str("v")}), 2},
      {"deepest allowed", chain(7), 8},
      {"one level too deep", chain(8), std::nullopt},
      {"too deep under a dictionary value", chain(7, {dict({1, 2}), str("K")}), std::nullopt},
      {"shared leaves", binaryList({arr({1, 1, 1, 1}), str("x")}), 2},
      {"shared containers within the object bound", doubling(5), 6},
      {"shared containers past the object bound", doubling(6), std::nullopt},
      {"array holding itself", binaryList({arr({0})}), std::nullopt},
      {"arrays holding each other", binaryList({arr({1}), arr({0})}), std::nullopt},
      {"dictionary whose key is itself", binaryList({dict({0, 1}), str("v")}), std::nullopt},
      {"reference past the table", binaryList({arr({5})}), std::nullopt},
      {"top object past the table", binaryList({str("v")}, 1), std::nullopt},
      {"offset table cut short", shortTable, std::nullopt},
      {"reference size out of range", badRefSize, std::nullopt},
      {"header only", "bplist00", std::nullopt},
  };
  for (const auto& [what, bytes, depth] : cases)
    EXPECT_EQ(binaryListDepth(bytes, PropertyListLimits{8, 64}), depth) << what;
}

TEST(PropertyListDepth, DeepListsCountAsUnreadableAtTheDefaultBound) {
  const auto xmlInfo = [](std::size_t levels) {
    return "<plist><dict><key>Version</key><string>1.2.3.4</string><key>Deep</key>" +
           repeat("<array>", levels) + repeat("</array>", levels) + "</dict></plist>";
  };
  const auto binaryInfo = [](std::size_t levels) {
    return chain(levels, {dict({1, 3, 2, 4}), str("Version"), str("1.2.3.4"), str("D")});
  };
  // plist, dict and 510 arrays; a top dictionary, 510 arrays and a leaf.
  for (const std::string& readable : {xmlInfo(510), binaryInfo(510)}) {
    const auto entries = parsePropertyListStrings(readable);
    ASSERT_TRUE(entries);
    EXPECT_EQ(entries->at("Version"), "1.2.3.4");
  }
  // The very deep ones crashed the library's reader.
  for (const std::string& deep :
       {xmlInfo(511), binaryInfo(511), xmlInfo(200000), binaryInfo(60000)}) {
    EXPECT_FALSE(parsePropertyListStrings(deep));
  }
}

}  // namespace
}  // namespace platform
