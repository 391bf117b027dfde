#include "ui/ErrorDialogController.h"

#include <gtest/gtest.h>

#include "ui/testing/RecordingPresenter.h"

namespace ui {
namespace {

using Runs = std::vector<TextRun>;

TextRun plain(const std::string& s) {
  return {s, std::nullopt};
}
TextRun link(const std::string& s, const std::string& address) {
  return {s, address};
}

TEST(MarkupTest, TextWithoutAnchorIsOnePlainRunAndEmptyTextHasNone) {
  EXPECT_EQ(parseMessageMarkup("Please contact your administrator."),
            Runs{plain("Please contact your administrator.")});
  EXPECT_EQ(parseMessageMarkup(""), Runs{});
}

TEST(MarkupTest, WellFormedLinksBecomeLinkRunsBetweenPlainRuns) {
  EXPECT_EQ(parseMessageMarkup("See the <a href='https://h.example/r'>requirements</a> now."),
            (Runs{plain("See the "), link("requirements", "https://h.example/r"), plain(" now.")}));
  EXPECT_EQ(parseMessageMarkup("<a href='u1'>one</a> and <a href='u2'>two</a>"),
            (Runs{plain(""), link("one", "u1"), plain(" and "), link("two", "u2")}));
  // Multi-byte characters on both sides of the markers stay whole.
  EXPECT_EQ(
      parseMessageMarkup("Lesen Sie die <a href='x'>Systemanforderungen</a> für Orvel."),
      (Runs{plain("Lesen Sie die "), link("Systemanforderungen", "x"), plain(" für Orvel.")}));
  EXPECT_EQ(parseMessageMarkup("<a href=''></a>"), (Runs{plain(""), link("", "")}));
}

TEST(MarkupTest, UnfinishedAnchorIsShownLiterallyAfterEarlierLinks) {
  EXPECT_EQ(parseMessageMarkup("a <a href='u'>x</a> b <a href='v'>no end"),
            (Runs{plain("a "), link("x", "u"), plain(" b <a href='v'>no end")}));
  EXPECT_EQ(parseMessageMarkup("a <a href='never closed"), Runs{plain("a <a href='never closed")});
  // "'>" before the opening marker does not count: the search starts after the marker.
  EXPECT_EQ(parseMessageMarkup("'></a><a href='u"), Runs{plain("'></a><a href='u")});
}

TEST(MarkupTest, FirstDelimitersWinInsideAnAnchor) {
  EXPECT_EQ(parseMessageMarkup("<a href='u'>v'>text</a>"), (Runs{plain(""), link("v'>text", "u")}));
  EXPECT_EQ(parseMessageMarkup("<a href='x'>a <a href='y'>b</a>c"),
            (Runs{plain(""), link("a <a href='y'>b", "x"), plain("c")}));
  EXPECT_EQ(parseMessageMarkup("<a href='u' target='_blank'>t</a>"),
            (Runs{plain(""), link("t", "u' target='_blank")}));
}

TEST(MarkupTest, OtherAnchorFormsAreNotRecognised) {
  for (const std::string m : {"<A HREF='u'>t</A>", "<a href=\"u\">t</a>",
                              "<a class='c' href='u'>t</a>", "<a  href='u'>t</a>"}) {
    EXPECT_EQ(parseMessageMarkup(m), Runs{plain(m)}) << m;
  }
}

TEST(ErrorDialogControllerTest, RunsTheParsedMessageWithTitleAndButton) {
  testing::RecordingPresenter presenter;
  ErrorDialogController dialog(presenter);
  dialog.setMessage("Read <a href='u'>this</a>", "OK", "Install Sample");
  EXPECT_EQ(dialog.runModal(), 1);
  EXPECT_EQ(presenter.calls, std::vector<std::string>{"dialog:Install Sample|OK"});
  EXPECT_EQ(presenter.dialogRuns, (Runs{plain("Read "), link("this", "u")}));

  dialog.setMessage("", "Aceptar", "Instalar");
  EXPECT_EQ(dialog.runModal(), 1);
  EXPECT_EQ(presenter.calls.back(), "dialog:Instalar|Aceptar");
  EXPECT_TRUE(presenter.dialogRuns.empty());
}

}  // namespace
}  // namespace ui
