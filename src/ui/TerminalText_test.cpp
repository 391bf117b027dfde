#include "ui/TerminalText.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(TerminalTextTest, WidthCountsWideCharactersTwiceAndCombiningMarksNever) {
  EXPECT_EQ(displayWidth(""), 0);
  EXPECT_EQ(displayWidth("Bitte warten."), 13);
  EXPECT_EQ(displayWidth("Überprüft"), 9);
  EXPECT_EQ(displayWidth("お待ちください。"), 16);
  EXPECT_EQ(displayWidth("설치 중 "), 8);
  EXPECT_EQ(displayWidth("正在安装 "), 9);
  EXPECT_EQ(displayWidth("e\xCC\x81"), 1);  // e and a combining acute accent
  EXPECT_EQ(displayWidth("a\xFF\xE3\x81"), 4) << "stray and cut-off bytes count one each";
}

TEST(TerminalTextTest, CutNeverSplitsACharacter) {
  EXPECT_EQ(cutToWidth("Installing Sample", 10), "Installing");
  EXPECT_EQ(cutToWidth("お待ちください", 5), "お待");
  EXPECT_EQ(cutToWidth("Überprüft", 3), "Übe");
  EXPECT_EQ(cutToWidth("abc", 0), "");
  EXPECT_EQ(cutToWidth("abc", 10), "abc");
}

}  // namespace
}  // namespace ui
