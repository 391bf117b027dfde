#include "platform/files/Bundle.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/runloop/Task.h"

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

// What Bundle::main() says when the probe program runs from path.
std::vector<std::string> mainBundleSeenFrom(const ScratchDir& dir, const std::string& path) {
  const std::string out = dir / "main-bundle.txt";
  EXPECT_EQ(runTask(path, {out}), 0) << path;
  std::ifstream in(out);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string installProbe(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::filesystem::copy_file(NAIB_BUNDLE_PROBE, path);
  return path;
}

TEST(Bundle, MainBundleOfAnApplicationIsTheAppDirectory) {
  ScratchDir dir;
  dir.write("Install Sample.app/Contents/Info.plist",
            xmlPlist({{"CFBundleExecutable", "Install Sample"}, {"CFBundleVersion", "1.0.0.1"}}));
  const std::string exe = installProbe(dir / "Install Sample.app/Contents/MacOS/Install Sample");
  const std::vector<std::string> expected = {
      dir / "Install Sample.app", dir / "Install Sample.app/Contents/Resources", "1.0.0.1", exe};
  EXPECT_EQ(mainBundleSeenFrom(dir, exe), expected);
  // Started through a link elsewhere, the program still belongs to its real bundle.
  std::filesystem::create_symlink(exe, dir / "launcher");
  EXPECT_EQ(mainBundleSeenFrom(dir, dir / "launcher"), expected);
}

TEST(Bundle, MainBundleOutsideAnApplicationIsTheExecutablesDirectory) {
  ScratchDir dir;
  dir.write("flat/Info.plist", xmlPlist({{"CFBundleVersion", "2.0"}}));
  const std::string flat = installProbe(dir / "flat/tool");
  EXPECT_EQ(mainBundleSeenFrom(dir, flat),
            (std::vector<std::string>{dir / "flat", dir / "flat", "2.0", "-"}));
  // MacOS/ without Contents/ in an .app is not the application layout.
  const std::string loose = installProbe(dir / "Loose.app/MacOS/tool");
  EXPECT_EQ(mainBundleSeenFrom(dir, loose),
            (std::vector<std::string>{dir / "Loose.app/MacOS", dir / "Loose.app/MacOS", "-", "-"}));
}

}  // namespace
}  // namespace platform
