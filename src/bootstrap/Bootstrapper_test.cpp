#include "bootstrap/Bootstrapper.h"

#include <gtest/gtest.h>

namespace bootstrap {
namespace {

TEST(PackageName, DropsOnlyAnExactInstallPrefix) {
  EXPECT_EQ(packageNameFor("Install Sample"), "Sample");
  EXPECT_EQ(packageNameFor("Sample"), "Sample");
  EXPECT_EQ(packageNameFor("install Sample"), "install Sample");
  EXPECT_EQ(packageNameFor("InstallSample"), "InstallSample");
  EXPECT_EQ(packageNameFor("Install "), "");
}

TEST(CommandText, QuotesTheNameAndEndsEveryArgumentWithABlank) {
  EXPECT_EQ(commandTextFor("Orvel Runtime Installer", {"-x1", "/b/Sample"}),
            "\"Orvel Runtime Installer\" -x1 /b/Sample ");
  EXPECT_EQ(commandTextFor("Orvel Application Installer", {"/b/Sample"}),
            "\"Orvel Application Installer\" /b/Sample ");
}

}  // namespace
}  // namespace bootstrap
