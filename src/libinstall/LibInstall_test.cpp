#include "libinstall/LibInstall.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <optional>

#include "libinstall/MacInstall.h"
#include "libinstall/MacSystemVersion.h"
#include "platform/files/FileSystem.h"
#include "platform/testing/ScopedEnvVar.h"
#include "platform/testing/ScratchDir.h"

namespace install {
namespace {

using platform::testing::ScratchDir;
using platform::testing::xmlPlist;

const std::string kHost = NAIB_DOWNLOAD_HOST;

// Puts a system version into the process's cache for one test, as if the version file had
// said it, and empties the cache again afterwards.
class CachedSystemVersion {
 public:
  explicit CachedSystemVersion(MacSystemVersion v) { MacSystemVersion::sCachedSystemVersion = v; }
  ~CachedSystemVersion() {
    MacSystemVersion::sCachedSystemVersion = MacSystemVersion::sMacSystemVersionUninitialized;
  }
};

TEST(DownloadUrls, ComposedFromTheCachedSystemVersion) {
  CachedSystemVersion version({10, 6, 8});
  char installer[512], signature[512];
  ASSERT_TRUE(
      getBootstrapperDownloadUrls(installer, sizeof installer, signature, sizeof signature));
  EXPECT_EQ(std::string(installer), "http://" + kHost + "/orvel/3/nai/macos10.6/x86/installer");
  EXPECT_EQ(std::string(signature), "http://" + kHost + "/orvel/3/nai/macos10.6/x86/installer.p7");

  CachedSystemVersion large({65535, 65535, 1});
  ASSERT_TRUE(
      getBootstrapperDownloadUrls(installer, sizeof installer, signature, sizeof signature));
  EXPECT_EQ(std::string(installer),
            "http://" + kHost + "/orvel/3/nai/macos65535.65535/x86/installer");
}

TEST(DownloadUrls, CutToSmallBuffersStillNulTerminatedAndTrue) {
  CachedSystemVersion version({10, 7, 0});
  const std::string full = "http://" + kHost + "/orvel/3/nai/macos10.7/x86/installer";
  char installer[16];
  char signature[64];
  std::memset(signature, 'Z', sizeof signature);
  ASSERT_TRUE(getBootstrapperDownloadUrls(installer, sizeof installer, signature, 1));
  EXPECT_EQ(std::string(installer), full.substr(0, 15));
  EXPECT_EQ(signature[0], '\0');
  EXPECT_EQ(signature[1], 'Z');  // nothing past the given size is written

  char untouched[8] = "keep";
  EXPECT_TRUE(getBootstrapperDownloadUrls(untouched, 0, nullptr, 0));
  EXPECT_STREQ(untouched, "keep");
  EXPECT_FALSE(getBootstrapperDownloadUrls(untouched, sizeof untouched, nullptr, 8));
  EXPECT_STREQ(untouched, "keep");
}

TEST(DownloadUrls, AMajorVersionOfZeroWritesNothing) {
  // "ten.six" reads as 0.0; the bugfix keeps the cache from counting as empty.
  CachedSystemVersion version({0, 0, 5});
  char installer[64] = "before", signature[64] = "before";
  EXPECT_FALSE(
      getBootstrapperDownloadUrls(installer, sizeof installer, signature, sizeof signature));
  EXPECT_STREQ(installer, "before");
  EXPECT_STREQ(signature, "before");
}

TEST(DownloadUrls, ComposedFromAnyPlatformRecordWithoutTheMachine) {
  const std::string base = "http://" + kHost + "/orvel/3/nai/";
  const auto ppc = composeDownloadUrls({kOsMac, 10, 5, 8, kArchPpc});
  ASSERT_TRUE(ppc);
  EXPECT_EQ(ppc->installer, base + "macos10.5/ppc/installer");
  EXPECT_EQ(ppc->signature, base + "macos10.5/ppc/installer.p7");
  EXPECT_EQ(composeDownloadUrls({kOsWindows, 6, 1, 0, kArchX86})->installer,
            base + "windows6.1/x86/installer");
  for (const PlatformInfo& unusable :
       {PlatformInfo{kOsUnknown, 10, 6, 0, kArchX86}, PlatformInfo{kOsMac, 10, 6, 0, kArchUnknown},
        PlatformInfo{kOsMac, 0, 6, 0, kArchX86}}) {
    EXPECT_FALSE(composeDownloadUrls(unusable));
  }
  EXPECT_EQ(archFromName("x86"), kArchX86);
  EXPECT_EQ(archFromName("ppc"), kArchPpc);
  EXPECT_FALSE(archFromName("unknown"));
  EXPECT_FALSE(archFromName("X86"));
}

TEST(PlatformInfo, SystemVersionIsReadOnceAndKept) {
  PlatformInfo info{};
  {
    CachedSystemVersion version({10, 6, 8});
    platform_getPlatformInfo(info);
    EXPECT_EQ(info.os, kOsMac);
    EXPECT_EQ(info.arch, kArchX86);
    EXPECT_EQ(info.osMajor, 10);
    EXPECT_EQ(info.osMinor, 6);
    EXPECT_EQ(info.osBugfix, 8);
  }
  // With the cache empty the version file is read and its result kept.
  const MacSystemVersion fromFile = MacSystemVersion::GetSystemVersion();
  platform_getPlatformInfo(info);
  EXPECT_EQ(info.osMajor, fromFile.major);
  EXPECT_EQ(info.osMinor, fromFile.minor);
  EXPECT_EQ(MacSystemVersion::sCachedSystemVersion == fromFile,
            !(fromFile == MacSystemVersion::sMacSystemVersionUninitialized));
  MacSystemVersion::sCachedSystemVersion = MacSystemVersion::sMacSystemVersionUninitialized;
}

TEST(UpdatePolicy, MarkerInTheUsersApplicationSupportDisablesUpdates) {
  ScratchDir home;
  platform::testing::ScopedEnvVar useHome("HOME", home.path());
  EXPECT_EQ(platform_getConfigurationValue("UpdateDisabled"), 0);
  EXPECT_FALSE(platform_updateDisabledFileExists());
  EXPECT_TRUE(canUpdateRuntime());

  // The marker in another place has no effect.
  home.write("Library/Application Support/Halvex/updateDisabled", "");
  home.write("Library/Application Support/Halvex/Orvel/updateDisabled.txt", "");
  home.write("Library/Halvex/Orvel/updateDisabled", "");
  EXPECT_TRUE(canUpdateRuntime());

  const std::string marker = home / "Library/Application Support/Halvex/Orvel/updateDisabled";
  home.write("Library/Application Support/Halvex/Orvel/updateDisabled", "");
  EXPECT_TRUE(platform_updateDisabledFileExists());
  EXPECT_FALSE(canUpdateRuntime());
  home.write("Library/Application Support/Halvex/Orvel/updateDisabled", "0\n", 0);
  EXPECT_FALSE(canUpdateRuntime());

  ASSERT_TRUE(platform::removeItem(marker));
  EXPECT_TRUE(canUpdateRuntime());
  home.mkdirs("Library/Application Support/Halvex/Orvel/updateDisabled");
  EXPECT_FALSE(canUpdateRuntime());
}

TEST(FileVersion, ReadsTheBundleVersionOfAFramework) {
  ScratchDir dir;
  dir.write("New.framework/Resources/Info.plist", xmlPlist({{"CFBundleVersion", "2.5.1.8090"}}));
  dir.write("Old.framework/Resources/Info.plist", xmlPlist({{"CFBundleVersion", "1.5.3.9120"}}));
  dir.write("Short.framework/Resources/Info.plist", xmlPlist({{"CFBundleVersion", "2.5.1"}}));
  dir.write("Int.framework/Resources/Info.plist",
            "<plist><dict><key>CFBundleVersion</key><integer>2</integer></dict></plist>");
  dir.write("None.framework/Resources/Info.plist", xmlPlist({{"CFBundleName", "x"}}));
  dir.write("Garbage.framework/Resources/Info.plist", "bplist00\xff\xff\xff");
  dir.mkdirs("DirInfo.framework/Resources/Info.plist");
  dir.write("File.framework", "a file, not a bundle");

  RuntimeVersionInfo info{-1, -1, -1, -1};
  EXPECT_EQ(platform_getFileVersion((dir / "New.framework").c_str(), info), kInstallOk);
  EXPECT_EQ(std::vector<int>({info.major, info.minor, info.bugfix, info.build}),
            std::vector<int>({2, 5, 1, 8090}));
  EXPECT_EQ(platform_getFileVersion((dir / "Old.framework").c_str(), info), kInstallOk);
  EXPECT_EQ(std::vector<int>({info.major, info.minor, info.bugfix, info.build}),
            std::vector<int>({1, 5, 3, 9120}));

  for (const char* name : {"Short.framework", "Int.framework", "None.framework",
                           "Garbage.framework", "DirInfo.framework", "File.framework", "Missing"}) {
    RuntimeVersionInfo untouched{-1, -2, -3, -4};
    EXPECT_EQ(platform_getFileVersion((dir / name).c_str(), untouched), kInstallFailure) << name;
    EXPECT_EQ(
        std::vector<int>({untouched.major, untouched.minor, untouched.bugfix, untouched.build}),
        std::vector<int>({-1, -2, -3, -4}))
        << name;
  }
  EXPECT_EQ(platform_getFileVersion(nullptr, info), kInstallFailure);
}

TEST(Runtime, AMachineWithoutTheFrameworkHasNoRuntime) {
  for (const char* library : {"/Library", "/Network/Library", "/System/Library"}) {
    if (platform::fileExists(std::string(library) + "/Frameworks/Halvex Orvel.framework")) {
      GTEST_SKIP() << "this machine has the runtime installed";
    }
  }
  EXPECT_EQ(getRuntimeLocation(), std::nullopt);
  RuntimeVersionInfo info{-1, -2, -3, -4};
  EXPECT_EQ(getRuntimeVersion(info), kInstallFailure);
  EXPECT_EQ(info.major, -1);
  EXPECT_EQ(runAppInstaller({"/some/package"}), 3);
}

}  // namespace
}  // namespace install
