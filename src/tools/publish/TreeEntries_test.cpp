#include "tools/publish/TreeEntries.h"

#include <gtest/gtest.h>

namespace tools {
namespace {

TEST(TreeEntries, OnlyVersionsAreSystemVersions) {
  using V = install::MacSystemVersion;
  const std::pair<const char*, std::optional<V>> cases[] = {
      {"10.6.8", V{10, 6, 8}},
      {"10.7", V{10, 7, 0}},
      {"65535.0", V{65535, 0, 0}},
      {"../../etc", std::nullopt},
      {"99999999999999999999.1", std::nullopt},
      {"65536.1", std::nullopt},
      {"10", std::nullopt},
      {"10.6.8.1", std::nullopt},
      {"10..6", std::nullopt},
      {"+10.6", std::nullopt},
  };
  for (const auto& [text, version] : cases) EXPECT_EQ(systemVersionArgument(text), version) << text;
}

TEST(TreeEntries, NoTwoFilesOnOnePathAndNoFileWhereAFolderMustBe) {
  const TreeEntry installer{"http://d/orvel/x86/installer", "installer", "orvel/x86/installer"};
  const TreeEntry crl{"http://crl/orvel/x86/installer", "list.crl", "orvel/x86/installer"};
  const TreeEntry crlBelow{"http://crl/orvel/x86/installer/a.crl", "list.crl",
                           "orvel/x86/installer/a.crl"};
  const TreeEntry sameListElsewhere{"http://crl2/orvel/x86/installer", "installer",
                                    "orvel/x86/installer"};
  const TreeEntry neighbour{"http://crl/orvel/x86/installer.crl", "list.crl",
                            "orvel/x86/installer.crl"};
  const std::pair<std::vector<TreeEntry>, const char*> cases[] = {
      {{installer, crl}, "both land on orvel/x86/installer"},
      {{crlBelow, installer}, "needs orvel/x86/installer as a folder"},
      {{installer, sameListElsewhere, neighbour}, ""},
  };
  for (const auto& [entries, phrase] : cases) {
    const std::string conflict = layoutConflict(entries);
    EXPECT_EQ(conflict.empty(), *phrase == '\0') << conflict;
    EXPECT_NE(conflict.find(phrase), std::string::npos) << conflict;
  }
}

}  // namespace
}  // namespace tools
