// The language is chosen once per process: this suite has a single test so that it owns
// the process's first getEmbeddedMessage call.
#include <gtest/gtest.h>

#include "messages/LocalizedStrings.h"
#include "platform/testing/ScopedLocaleEnvironment.h"

namespace messages {
namespace {

using platform::testing::ScopedLocaleEnvironment;

TEST(LocalizedStringsCacheTest, FirstCallChoosesEvenOutOfRangeAndLaterSettingsAreIgnored) {
  {
    ScopedLocaleEnvironment env({{"LANGUAGE", "de_AT"}});
    EXPECT_EQ(LocalizedStrings::getEmbeddedMessage(11), std::nullopt);
  }
  ScopedLocaleEnvironment env({{"LANGUAGE", "fr"}});
  EXPECT_EQ(LocalizedStrings::getEmbeddedMessage(kMsgCancel), "Abbrechen");
  EXPECT_EQ(LocalizedStrings::getEmbeddedMessage(kMsgInstalling), "Installation von ");
  EXPECT_EQ(GetFatalErrorMessageIndex(), 3);
}

}  // namespace
}  // namespace messages
