// Calls the runtime-detection, platform-information and update-policy functions of the
// install library inside the sandbox and prints what they return, one line per call, so
// that the end-to-end suite can check them against real Library directories.
//
//   naib-libinstall-probe <command>... [run <argument>...]
//
// Commands, each printing one line on standard output:
//   location   "location <path>" or "location none"
//   version    "version <result> <major>.<minor>.<bugfix>.<build>" ("untouched" when the
//              record keeps the values it was given)
//   canUpdate  "canUpdate true|false"
//   urls       "urls true <installer URL> <signature URL>" or "urls false"
//   platform   "platform <os> <osMajor> <osMinor> <osBugfix> <arch>"
//   forget <path>  removes the file at path and prints "forget <0|errno>"
//   run <argument>...  runs the Application Installer with the rest of the arguments:
//              "appInstaller <status>"
// Exit status: 0, or 2 for an unknown command.

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "libinstall/LibInstall.h"
#include "libinstall/MacInstall.h"

namespace {

constexpr install::RuntimeVersionInfo kSentinel{-101, -102, -103, -104};

void printLocation() {
  const auto location = install::getRuntimeLocation();
  std::printf("location %s\n", location ? location->c_str() : "none");
}

void printVersion() {
  install::RuntimeVersionInfo info = kSentinel;
  const int result = install::getRuntimeVersion(info);
  if (info.major == kSentinel.major && info.minor == kSentinel.minor &&
      info.bugfix == kSentinel.bugfix && info.build == kSentinel.build) {
    std::printf("version %d untouched\n", result);
  } else {
    std::printf("version %d %d.%d.%d.%d\n", result, info.major, info.minor, info.bugfix,
                info.build);
  }
}

void printUrls() {
  // The buffers the bootstrapper passes.
  char installer[512];
  char signature[512];
  if (install::getBootstrapperDownloadUrls(installer, sizeof installer, signature,
                                           sizeof signature)) {
    std::printf("urls true %s %s\n", installer, signature);
  } else {
    std::printf("urls false\n");
  }
}

void printPlatform() {
  install::PlatformInfo info{};
  install::platform_getPlatformInfo(info);
  std::printf("platform %d %d %d %d %d\n", info.os, info.osMajor, info.osMinor, info.osBugfix,
              info.arch);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string command = argv[i];
    if (command == "location") {
      printLocation();
    } else if (command == "version") {
      printVersion();
    } else if (command == "canUpdate") {
      std::printf("canUpdate %s\n", install::canUpdateRuntime() ? "true" : "false");
    } else if (command == "urls") {
      printUrls();
    } else if (command == "platform") {
      printPlatform();
    } else if (command == "forget" && i + 1 < argc) {
      std::printf("forget %d\n", ::unlink(argv[++i]) == 0 ? 0 : errno);
    } else if (command == "run") {
      std::fflush(stdout);  // the installer shares standard output
      const int status =
          install::runAppInstaller(std::vector<std::string>(argv + i + 1, argv + argc));
      std::printf("appInstaller %d\n", status);
      break;
    } else {
      std::fprintf(stderr, "naib-libinstall-probe: unknown command %s\n", argv[i]);
      return 2;
    }
    std::fflush(stdout);
  }
  return 0;
}
