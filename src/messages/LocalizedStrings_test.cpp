#include "messages/LocalizedStrings.h"

#include <gtest/gtest.h>

#include "messages/embeddedmessages.h"
#include "platform/testing/ScopedLocaleEnvironment.h"

namespace messages {
namespace {

using platform::testing::ScopedLocaleEnvironment;

int rowFor(const std::string& languageList) {
  ScopedLocaleEnvironment env({{"LANGUAGE", languageList}});
  return GetFatalErrorMessageIndex();
}

TEST(FindMessageIndexTest, ExactCaseSensitiveWholeCodes) {
  bool found = true;
  EXPECT_EQ(FindMessageIndex("sv", found), 14);
  EXPECT_TRUE(found);
  EXPECT_EQ(FindMessageIndex("zh-Hant", found), 10);
  EXPECT_TRUE(found);
  for (const char* code : {"EN", "en-US", "e", "zh", "zh-hans", "", " de"}) {
    found = true;
    EXPECT_EQ(FindMessageIndex(code, found), kDefaultRow) << code;
    EXPECT_FALSE(found) << code;
  }
}

TEST(LanguageChoiceTest, UserOrderWinsOverExactLaterMatches) {
  EXPECT_EQ(rowFor("da:sv"), 14);
  // pt-PT is not a row, its prefix is; "en" is never looked at.
  EXPECT_EQ(rowFor("pt_PT:en"), 7);
  EXPECT_EQ(rowFor("fr_CA.UTF-8:de"), 3);
}

TEST(LanguageChoiceTest, ChineseRowsNeedTheirScript) {
  EXPECT_EQ(rowFor("zh-Hant"), 10);
  EXPECT_EQ(rowFor("zh_CN.UTF-8"), 9);
  EXPECT_EQ(rowFor("zh_HK"), 10);
  // Only one level is cut: zh-Hans-CN-x would try zh-Hans-CN, never zh-Hans.
  EXPECT_EQ(rowFor("zh-Hans-CN-x"), kDefaultRow);
  EXPECT_EQ(rowFor("zh-CN:ko"), 6);
  EXPECT_EQ(rowFor("zh:zh-CN"), kDefaultRow);
}

TEST(LanguageChoiceTest, EntriesNamingNoLanguageAreSkipped) {
  EXPECT_EQ(rowFor("C:POSIX::C.UTF-8:ja_JP.eucJP"), 5);
  EXPECT_EQ(rowFor("ru_RU@petr1708"), 8);
  EXPECT_EQ(rowFor("EN:Nl"), kDefaultRow);
}

TEST(LanguageChoiceTest, MessagesLocaleFollowsTheLanguageList) {
  ScopedLocaleEnvironment env({{"LANGUAGE", "da:fi"}, {"LC_MESSAGES", "tr_TR.UTF-8"}});
  EXPECT_EQ(GetFatalErrorMessageIndex(), 15);
}

TEST(LanguageChoiceTest, NoPreferenceGivesTheDefaultRow) {
  ScopedLocaleEnvironment env;
  EXPECT_EQ(GetFatalErrorMessageIndex(), kDefaultRow);
}

TEST(EmbeddedMessageTest, IndexOutsideTheTableIsAbsent) {
  ScopedLocaleEnvironment env;
  for (int index : {-1, 11, 12, -1000, 1 << 30}) {
    EXPECT_EQ(LocalizedStrings::getEmbeddedMessage(index), std::nullopt) << index;
  }
  EXPECT_EQ(LocalizedStrings::getEmbeddedMessage(kMsgInstalling), "Installing ");
}

}  // namespace
}  // namespace messages
