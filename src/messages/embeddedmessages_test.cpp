#include "messages/embeddedmessages.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <vector>

#include "messages/LocalizedStrings.h"

namespace messages {
namespace {

constexpr const char* kSiteRoot = "https://www.halvex.example/";
constexpr std::array<int, 6> kLongTexts = {0, 1, 5, 6, 8, 10};

std::string text(int row, int index) {
  return wchartoNSString(allMessages[row].messages[index]);
}

std::vector<std::string> lines(const std::string& s) {
  std::vector<std::string> out;
  std::string::size_type start = 0;
  for (auto nl = s.find('\n'); nl != std::string::npos; nl = s.find('\n', start)) {
    out.push_back(s.substr(start, nl - start));
    start = nl + 1;
  }
  out.push_back(s.substr(start));
  return out;
}

TEST(WideStringTest, DecodesUpToTheZeroUnit) {
  EXPECT_EQ(wchartoNSString(U""), "");
  EXPECT_EQ(wchartoNSString(nullptr), "");
  EXPECT_EQ(wchartoNSString(U"a\u00e9\u4e2d\U0001F600"), "a\xC3\xA9\xE4\xB8\xAD\xF0\x9F\x98\x80");
  const char32_t cut[] = {U'O', U'K', 0, U'x', 0};
  EXPECT_EQ(wchartoNSString(cut), "OK");
}

TEST(WideStringTest, UnitsThatAreNoCharacterBecomeReplacementCharacters) {
  const char32_t bad[] = {0xD800, U'a', 0xDFFF, 0x110000, 0xFFFFFFFF, 0x10FFFF, 0};
  EXPECT_EQ(wchartoNSString(bad),
            "\xEF\xBF\xBD"
            "a"
            "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
            "\xF4\x8F\xBF\xBF");
}

TEST(CatalogueTest, RowsHaveTheirLocalesAndIdentifiersInOrder) {
  const std::array<std::pair<const char*, int32_t>, 17> expected = {{
      {"de", 0x407},
      {"en", 0x409},
      {"es", 0xC0A},
      {"fr", 0x40C},
      {"it", 0x410},
      {"ja", 0x411},
      {"ko", 0x412},
      {"pt", 0x416},
      {"ru", 0x419},
      {"zh-Hans", 0x804},
      {"zh-Hant", 0x404},
      {"cs", 0x405},
      {"nl", 0x413},
      {"pl", 0x415},
      {"sv", 0x41D},
      {"tr", 0x41F},
      {"", 0},
  }};
  for (int row = 0; row <= kDefaultRow; ++row) {
    EXPECT_STREQ(allMessages[row].locale, expected[row].first) << row;
    EXPECT_EQ(allMessages[row].lcid, expected[row].second) << row;
  }
}

TEST(CatalogueTest, EveryTextIsPresentValidAndWithoutOuterLineFeeds) {
  for (int row = 0; row <= kDefaultRow; ++row) {
    for (int index = 0; index < kMessageCount; ++index) {
      const char32_t* t = allMessages[row].messages[index];
      ASSERT_NE(t, nullptr) << row << "/" << index;
      std::u32string units(t);
      ASSERT_FALSE(units.empty()) << row << "/" << index;
      for (char32_t c : units) {
        EXPECT_TRUE(c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF)) << row << "/" << index;
      }
      EXPECT_NE(units.front(), U'\n') << row << "/" << index;
      EXPECT_NE(units.back(), U'\n') << row << "/" << index;
    }
  }
}

TEST(CatalogueTest, DefaultRowSharesTheEnglishTexts) {
  for (int index = 0; index < kMessageCount; ++index) {
    EXPECT_EQ(allMessages[kDefaultRow].messages[index], allMessages[1].messages[index]);
  }
}

TEST(CatalogueTest, ShortTextsAreStoredExactly) {
  // OK, Cancel, please wait, verifying download, installing (title prefix).
  const std::array<std::array<const char*, 5>, 16> expected = {{
      {"OK", "Abbrechen", "Bitte warten.", "Download wird überprüft...", "Installation von "},
      {"OK", "Cancel", "Please wait.", "Verifying download...", "Installing "},
      {"Aceptar", "Cancelar", "Espere.", "Verificando la descarga...", "Instalando "},
      {"OK", "Annuler", "Veuillez patienter.", "Téléchargement en cours de vérification...",
       "Installation en cours "},
      {"OK", "Annulla", "Attendete.", "Verifica del download...", "Installazione "},
      {"OK", "キャンセル", "お待ちください。", "ダウンロードを確認しています...",
       "インストール中："},
      {"확인", "취소", "잠시 기다려 주십시오.", "다운로드 확인 중...", "설치 중 "},
      {"OK", "Cancelar", "Aguarde.", "Verificando o download...", "Instalando  "},
      {"OK", "Отмена", "Подождите...", "Проверка загрузки...", "Установка..."},
      {"确定", "取消", "请稍候。", "正在验证下载...", "正在安装 "},
      {"確定", "取消", "請稍候。", "正在驗證下載...", "正在安裝  "},
      {"OK", "Zrušit", "Počkejte prosím.", "Ověřování stažení...", "Instalace\u2026 "},
      {"OK", "Annuleren", "Een ogenblik geduld...", "Download controleren...", "Installeren\u2026"},
      {"OK", "Anuluj", "Czekaj.", "Sprawdzanie poprawności pobranego pliku...", "Instalowanie "},
      {"OK", "Avbryt", "Vänta.", "Verifierar hämtning...", "Installerar  "},
      {"OK", "İptal", "Lütfen bekleyin.", "İndirme doğrulanıyor...", "Yükleniyor "},
  }};
  const std::array<int, 5> indices = {kMsgOK, kMsgCancel, kMsgPleaseWait, kMsgVerifyingDownload,
                                      kMsgInstalling};
  for (int row = 0; row < kLanguageRowCount; ++row) {
    for (size_t i = 0; i < indices.size(); ++i) {
      EXPECT_EQ(text(row, indices[i]), expected[row][i]) << allMessages[row].locale;
    }
  }
}

TEST(CatalogueTest, EnglishLongTextsAreExact) {
  const std::string download = std::string(kSiteRoot) + "orvel/download/";
  const std::string requirements = std::string(kSiteRoot) + "orvel/system-requirements/";
  EXPECT_EQ(text(1, kMsgRuntimeNotFound),
            "This application requires a version of Halvex Orvel which cannot be found.\n"
            "Please download the latest version of the runtime from\n" +
                download + ",\nor contact the application author for an updated version.");
  EXPECT_EQ(text(1, kMsgInstallFailed),
            "Something went wrong trying to install this application.\n"
            "Please install the latest version of Halvex Orvel from\n" +
                download + " and then try again.");
  EXPECT_EQ(text(1, kMsgDownloadFailed),
            "Unable to download Halvex Orvel. Make sure that you\xE2\x80\x99re connected to the "
            "network and try again.");
  EXPECT_EQ(text(1, kMsgValidationFailed),
            "Unable to validate the downloaded version of Halvex Orvel.\n"
            "Please install the latest version of Halvex Orvel from\n" +
                download + ",\nthen retry installing this application.");
  EXPECT_EQ(text(1, kMsgSystemUnsupported),
            "This application requires an update to Halvex Orvel that is not available for your "
            "system. Please view the <a href='" +
                requirements +
                "'>system requirements</a> for Halvex Orvel and update your system accordingly.");
  EXPECT_EQ(text(1, kMsgUpdateDisallowed),
            "This application requires an update to Halvex Orvel but downloading that update on "
            "your system is not allowed by your administrator. Please contact your "
            "administrator.");
}

TEST(CatalogueTest, RuntimePageStartsTheThirdLineOfTheRuntimeMessages) {
  for (int row = 0; row < kLanguageRowCount; ++row) {
    std::string page;
    for (int index : {kMsgRuntimeNotFound, kMsgInstallFailed, kMsgValidationFailed}) {
      const auto l = lines(text(row, index));
      ASSERT_GE(l.size(), 3u) << allMessages[row].locale << "/" << index;
      const auto end = l[2].find("/orvel/download/");
      ASSERT_NE(end, std::string::npos) << allMessages[row].locale << "/" << index;
      const std::string address = l[2].substr(0, end + std::strlen("/orvel/download/"));
      EXPECT_EQ(address.rfind(kSiteRoot, 0), 0u) << address;
      if (page.empty()) page = address;
      EXPECT_EQ(address, page) << "one runtime page per language: " << allMessages[row].locale;
      EXPECT_EQ(text(row, index).find('<'), std::string::npos);
    }
  }
}

TEST(CatalogueTest, SystemRequirementsLinkIsWellFormedInEveryLanguage) {
  for (int row = 0; row < kLanguageRowCount; ++row) {
    const std::string m = text(row, kMsgSystemUnsupported);
    SCOPED_TRACE(allMessages[row].locale);
    const auto open = m.find("<a href='");
    ASSERT_NE(open, std::string::npos);
    const auto addressStart = open + 9;
    const auto close = m.find("'>", addressStart);
    ASSERT_NE(close, std::string::npos);
    const auto end = m.find("</a>", close + 2);
    ASSERT_NE(end, std::string::npos);
    const std::string address = m.substr(addressStart, close - addressStart);
    EXPECT_EQ(address.rfind(kSiteRoot, 0), 0u) << address;
    EXPECT_NE(address.find("orvel/system-requirements/"), std::string::npos) << address;
    EXPECT_EQ(address.find_first_of(" '<>\""), std::string::npos) << address;
    EXPECT_GT(end, close + 2) << "link text must not be empty";
    // Exactly one anchor, and no other mark-up the dialog would show literally.
    EXPECT_EQ(m.find('<', open + 1), end);
    EXPECT_EQ(m.find('<', end + 1), std::string::npos);
  }
}

TEST(CatalogueTest, AddressTableHoldsExactlyTheAddressesTheTextsName) {
  std::set<std::string> table, named;
  for (const char32_t* address : kCatalogueAddresses) table.insert(wchartoNSString(address));
  for (int row = 0; row <= kDefaultRow; ++row) {
    for (int index = 0; index < kMessageCount; ++index) {
      const std::string t = text(row, index);
      for (auto at = t.find("https://"); at != t.npos; at = t.find("https://", at + 1))
        named.insert(t.substr(at, t.find_first_of(" ,'\n", at) - at));
    }
  }
  EXPECT_EQ(named, table);
}

TEST(CatalogueTest, OtherLanguagesTranslateTheLongTexts) {
  for (int row = 0; row < kLanguageRowCount; ++row) {
    if (row == 1) continue;
    for (int index : kLongTexts) {
      EXPECT_NE(text(row, index), text(1, index)) << allMessages[row].locale << "/" << index;
      // German joins the name into a compound ("Halvex-Orvel-Version").
      const std::string t = text(row, index);
      EXPECT_TRUE(t.find("Halvex Orvel") != t.npos || t.find("Halvex-Orvel-") != t.npos)
          << allMessages[row].locale << "/" << index;
    }
  }
}

}  // namespace
}  // namespace messages
