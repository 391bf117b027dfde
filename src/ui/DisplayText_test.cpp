#include "ui/DisplayText.h"

#include <gtest/gtest.h>

namespace ui {
namespace {

TEST(DisplayTextTest, TitlesShowOneSpaceBetweenPrefixAndName) {
  const std::pair<const char*, const char*> cases[] = {
      {"Installing Sample", "Installing Sample"},
      {"Instalando  Sample", "Instalando Sample"},
      {"正在安裝  Sample", "正在安裝 Sample"},
      {"Installerar  Sample", "Installerar Sample"},
      {"Установка...Sample", "Установка... Sample"},
      {"Installeren\u2026Sample", "Installeren\u2026 Sample"},
      {"Instalace\u2026 Sample", "Instalace\u2026 Sample"},
      {"インストール中：Sample", "インストール中：Sample"},
      {"Install  Many   Spaces", "Install Many Spaces"},
      // Only the catalogue's prefix gets a space; a name keeps its own dots.
      {"Installing Foo...Bar", "Installing Foo...Bar"},
      {"Установка...", "Установка..."},
  };
  for (const auto& [stored, shown] : cases) EXPECT_EQ(displayTitle(stored), shown) << stored;
}

TEST(DisplayTextTest, TheProductNameIsJoinedWhereverItStands) {
  EXPECT_EQ(keepProductNameWhole("Halvex Orvel, Halvex Orvel’in, Halvex  Orvel"),
            "Halvex\u00A0Orvel, Halvex\u00A0Orvel’in, Halvex  Orvel");
  EXPECT_EQ(keepProductNameWhole(std::vector<TextRun>{{"Halvex Orvel", "https://h/Halvex Orvel"}}),
            (std::vector<TextRun>{{"Halvex\u00A0Orvel", "https://h/Halvex Orvel"}}));
}

TEST(DisplayTextTest, KoreanWordsAndTheNameInACompoundAreUnbreakable) {
  using Spans = std::vector<std::pair<std::size_t, std::size_t>>;
  // "Orvel을" is one word; the address, "and" and the Japanese word hold no Korean letter.
  const std::string text = "Halvex Orvel을 https://h/kr/\n설치 중 and 日本語 Halvex-Orvel-Version";
  EXPECT_EQ(unbreakableSpans(text), (Spans{{7, 15}, {30, 36}, {37, 40}, {55, 67}}));
  EXPECT_EQ(unbreakableSpans("\xEA\xB0"), Spans{}) << "a sequence cut short is no letter";
}

TEST(DisplayTextTest, OnlyTheCatalogueAddressesStandingAloneBecomeLinks) {
  const std::string page = "https://www.halvex.example/de/orvel/download/";
  const std::vector<TextRun> expected = {{"from\n", std::nullopt},
                                         {page, page},
                                         {",\nor https://evil.example/ and ", std::nullopt},
                                         {"https://www.halvex.example/orvel/system-requirements/",
                                          "https://www.halvex.example/orvel/system-requirements/"},
                                         {" or " + page + "setup or x" + page, std::nullopt}};
  EXPECT_EQ(linkCatalogueAddresses("from\n" + page +
                                   ",\nor https://evil.example/ and "
                                   "https://www.halvex.example/orvel/system-requirements/ or " +
                                   page + "setup or x" + page),
            expected);
  EXPECT_EQ(linkCatalogueAddresses(page), (std::vector<TextRun>{{page, page}}));
  EXPECT_EQ(linkCatalogueAddresses(""), std::vector<TextRun>{});
}

TEST(DisplayTextTest, TheFirstLineIsTheHeadlineWhenMoreFollows) {
  using Runs = std::vector<TextRun>;
  const TextRun link{"here", "https://h.example/"};
  struct Case {
    Runs runs, headline, body;
  } cases[] = {
      {{{"Failed.\nTry again.", std::nullopt}},
       {{"Failed.", std::nullopt}},
       {{"Try again.", std::nullopt}}},
      {{{"One paragraph.", std::nullopt}}, {}, {{"One paragraph.", std::nullopt}}},
      {{{"See ", std::nullopt}, link, {" now.\nThen ", std::nullopt}, link},
       {{"See ", std::nullopt}, link, {" now.", std::nullopt}},
       {{"Then ", std::nullopt}, link}},
      {{{"Failed.\n", std::nullopt}, link}, {{"Failed.", std::nullopt}}, {link}},
      // Nothing above or below the line feed: no headline.
      {{{" \nText", std::nullopt}}, {}, {{" \nText", std::nullopt}}},
      {{{"Text\n", std::nullopt}}, {}, {{"Text\n", std::nullopt}}},
      {{{"a", "u"}, {"b\nc", "u"}}, {}, {{"a", "u"}, {"b\nc", "u"}}},
  };
  for (const Case& c : cases) {
    const MessageParts parts = splitHeadline(c.runs);
    EXPECT_EQ(parts.headline, c.headline);
    EXPECT_EQ(parts.body, c.body);
  }
}

TEST(DisplayTextTest, TransferDetailShowsWhatIsKnown) {
  auto size = [](std::uint64_t n) { return std::to_string(n); };
  EXPECT_EQ(transferDetail({0, 500, 0}, size), "");
  EXPECT_EQ(transferDetail({10, 0, 0}, size), "10");
  EXPECT_EQ(transferDetail({10, 500, 0}, size), "10 / 500");
  EXPECT_EQ(transferDetail({10, 500, 20.7}, size), "10 / 500 \u00B7 20/s");
  EXPECT_EQ(transferDetail({10, -1, 20}, size), "10 \u00B7 20/s");
}

}  // namespace
}  // namespace ui
