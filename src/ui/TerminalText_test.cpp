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

TEST(TerminalTextTest, WrapBreaksAtWordsAndBetweenCjkCharactersButNotBeforeClosers) {
  const struct {
    const char* text;
    int columns;
    const char* wrapped;
  } cases[] = {
      {"Please view the system requirements", 20, "Please view the\nsystem requirements"},
      {"kept\nline feeds  and  spaces", 12, "kept\nline feeds\nand  spaces"},
      {"  indented text", 10, "  indented\ntext"},
      {"a https://www.halvex.example/ b", 12, "a\nhttps://www.halvex.example/\nb"},
      {"次の場所から：https://h.example/jp/ へ", 16, "次の場所から：\nhttps://h.example/jp/\nへ"},
      {"a-long-word-cut https://h.example/, b", 8, "a-long-w\nord-cut\nhttps://h.example/,\nb"},
      {"请查看系统要求，并更新系统。", 16, "请查看系统要求，\n并更新系统。"},
      {"请查看系统要，求并更新系统。", 12, "请查看系统\n要，求并更新\n系统。"},
      {"確認し（新しい版）を入手", 8, "確認し\n（新しい\n版）を入\n手"},
      {"시스템 요구 사항을 확인하십시오.", 16, "시스템 요구\n사항을\n확인하십시오."},
      {"Orvel の更新", 8, "Orvel の\n更新"},
      {"ends with space ", 20, "ends with space"},
      {"unchanged without a width", 0, "unchanged without a width"},
  };
  for (const auto& c : cases) EXPECT_EQ(wrapText(c.text, c.columns), c.wrapped) << c.text;
}

TEST(TerminalTextTest, SizesUseDecimalUnitsWithoutWords) {
  EXPECT_EQ(formatSize(0), "0 B");
  EXPECT_EQ(formatSize(999), "999 B");
  EXPECT_EQ(formatSize(1500), "1.5 kB");
  EXPECT_EQ(formatSize(84'100'000), "84.1 MB");
  EXPECT_EQ(formatSize(312'449'999), "312.4 MB");
  EXPECT_EQ(formatSize(2'000'000'000), "2.0 GB");
}

}  // namespace
}  // namespace ui
