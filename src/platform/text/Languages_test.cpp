#include "platform/text/Languages.h"

#include <gtest/gtest.h>

#include "platform/testing/ScopedLocaleEnvironment.h"

namespace platform {
namespace {

using testing::ScopedLocaleEnvironment;
using List = std::vector<std::string>;

TEST(LanguagesTest, CanonicalFormDropsCodesetAndModifierAndUsesDashes) {
  EXPECT_EQ(canonicalLanguageIdentifier("de_DE.UTF-8"), "de-DE");
  EXPECT_EQ(canonicalLanguageIdentifier("sr_RS@latin"), "sr-RS");
  EXPECT_EQ(canonicalLanguageIdentifier("ca_ES.UTF-8@valencia"), "ca-ES");
  EXPECT_EQ(canonicalLanguageIdentifier("sv"), "sv");
  EXPECT_EQ(canonicalLanguageIdentifier("pt_PT"), "pt-PT");
}

TEST(LanguagesTest, EntriesNamingNoLanguageAreEmpty) {
  for (const char* entry : {"C", "POSIX", "", "C.UTF-8", "POSIX@euro", ".UTF-8"}) {
    EXPECT_EQ(canonicalLanguageIdentifier(entry), "") << entry;
  }
}

TEST(LanguagesTest, ChineseRegionsGainTheirScript) {
  EXPECT_EQ(canonicalLanguageIdentifier("zh_CN.GB18030"), "zh-Hans-CN");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_SG"), "zh-Hans-SG");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_TW.UTF-8"), "zh-Hant-TW");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_HK"), "zh-Hant-HK");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_MO"), "zh-Hant-MO");
  EXPECT_EQ(canonicalLanguageIdentifier("zh"), "zh");
  // Already dashed, or a region without a known script: left as written.
  EXPECT_EQ(canonicalLanguageIdentifier("zh-CN"), "zh-CN");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_XX"), "zh-XX");
  EXPECT_EQ(canonicalLanguageIdentifier("zh_CNX"), "zh-CNX");
}

TEST(LanguagesTest, LanguageListComesFirstThenTheMessagesLocale) {
  ScopedLocaleEnvironment env({{"LANGUAGE", "da:sv_SE:C::en"}, {"LANG", "fr_FR.UTF-8"}});
  EXPECT_EQ(preferredLanguages(), (List{"da", "sv-SE", "en", "fr-FR"}));
}

TEST(LanguagesTest, FirstSetLocaleVariableDecides) {
  {
    ScopedLocaleEnvironment env({{"LC_ALL", "it_IT"}, {"LC_MESSAGES", "de_DE"}, {"LANG", "nl"}});
    EXPECT_EQ(preferredLanguages(), (List{"it-IT"}));
  }
  {
    ScopedLocaleEnvironment env({{"LC_ALL", ""}, {"LC_MESSAGES", "de_DE"}, {"LANG", "nl"}});
    EXPECT_EQ(preferredLanguages(), (List{"de-DE"}));
  }
  {
    // A "C" that is set still wins over the variables after it, as it does for gettext.
    ScopedLocaleEnvironment env({{"LC_ALL", "C.UTF-8"}, {"LANG", "nl"}});
    EXPECT_EQ(preferredLanguages(), List{});
  }
}

TEST(LanguagesTest, NothingSetGivesAnEmptyList) {
  ScopedLocaleEnvironment env;
  EXPECT_EQ(preferredLanguages(), List{});
  ScopedLocaleEnvironment colons({{"LANGUAGE", ":::"}});
  EXPECT_EQ(preferredLanguages(), List{});
}

}  // namespace
}  // namespace platform
