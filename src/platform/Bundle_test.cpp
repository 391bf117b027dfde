#include "platform/Bundle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "platform/testing/ScratchDir.h"

namespace platform {
namespace {

using testing::ScratchDir;
using testing::xmlPlist;

TEST(Bundle, ApplicationLayoutUsesContents) {
  ScratchDir dir;
  dir.write("Tool.app/Contents/Info.plist",
            xmlPlist({{"CFBundleExecutable", "Tool"}, {"CFBundleVersion", "1.2"}}));
  auto bundle = Bundle::withPath(dir / "Tool.app");
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->bundlePath(), dir / "Tool.app");
  EXPECT_EQ(bundle->resourcePath(), dir / "Tool.app/Contents/Resources");
  EXPECT_EQ(bundle->executablePath(), dir / "Tool.app/Contents/MacOS/Tool");
  EXPECT_EQ(bundle->infoString("CFBundleVersion"), "1.2");
  EXPECT_EQ(bundle->infoString("Missing"), std::nullopt);
}

TEST(Bundle, FrameworkAndFlatLayoutsKeepTheExecutableAtTheRoot) {
  ScratchDir dir;
  dir.write("Kit.framework/Resources/Info.plist",
            xmlPlist({{"CFBundleVersion", "2.5.1.8090"}, {"CFBundleExecutable", "Kit"}}));
  // A flat Info.plist is only the third choice.
  dir.write("Kit.framework/Info.plist", xmlPlist({{"CFBundleVersion", "9.9.9.9"}}));
  auto framework = Bundle::withPath(dir / "Kit.framework");
  ASSERT_TRUE(framework);
  EXPECT_EQ(framework->infoString("CFBundleVersion"), "2.5.1.8090");
  EXPECT_EQ(framework->executablePath(), dir / "Kit.framework/Kit");
  EXPECT_EQ(framework->resourcePath(), dir / "Kit.framework");

  dir.write("Flat/Info.plist", xmlPlist({{"CFBundleVersion", "3.0.0.1"}}));
  auto flat = Bundle::withPath(dir / "Flat");
  ASSERT_TRUE(flat);
  EXPECT_EQ(flat->infoString("CFBundleVersion"), "3.0.0.1");
  EXPECT_EQ(flat->executablePath(), std::nullopt);
}

TEST(Bundle, OnlyADirectoryIsABundle) {
  ScratchDir dir;
  EXPECT_FALSE(Bundle::withPath(dir / "missing"));
  EXPECT_FALSE(Bundle::withPath(dir.write("file.framework", "not a directory")));
  EXPECT_FALSE(Bundle::withPath(""));
}

TEST(Bundle, BrokenInformationListsLeaveABundleWithoutValues) {
  ScratchDir dir;
  dir.mkdirs("DirInfo/Contents/Info.plist");
  dir.write("Garbage/Info.plist", std::string("bplist00\x01\x02\x03", 11));
  dir.write("Truncated/Resources/Info.plist",
            xmlPlist({{"CFBundleVersion", "2.5.1.8090"}}).substr(0, 60));
  dir.mkdirs("Empty");
  for (const char* name : {"DirInfo", "Garbage", "Truncated", "Empty"}) {
    auto bundle = Bundle::withPath(dir / name);
    ASSERT_TRUE(bundle) << name;
    EXPECT_EQ(bundle->infoString("CFBundleVersion"), std::nullopt) << name;
    EXPECT_EQ(bundle->executablePath(), std::nullopt) << name;
  }
}

TEST(Bundle, ExecutableNameMustStayInsideTheBundle) {
  ScratchDir dir;
  for (const char* name : {"", ".", "..", "../../bin/sh", "MacOS/Tool", "/bin/sh"}) {
    dir.write("App.app/Contents/Info.plist", xmlPlist({{"CFBundleExecutable", name}}));
    auto bundle = Bundle::withPath(dir / "App.app");
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->executablePath(), std::nullopt) << name;
  }
}

TEST(Bundle, MainBundleOfAPlainExecutableIsItsDirectory) {
  const std::string exe = std::filesystem::canonical("/proc/self/exe").string();
  const std::string exeDir = std::filesystem::path(exe).parent_path().string();
  Bundle bundle = Bundle::main();
  EXPECT_EQ(bundle.bundlePath(), exeDir);
  EXPECT_EQ(bundle.resourcePath(), exeDir);
}

}  // namespace
}  // namespace platform
