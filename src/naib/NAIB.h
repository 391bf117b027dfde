#pragma once
// The command-line rules and the process exit-code table. The rules see the arguments
// only as UTF-8 strings through the virtual operations below.

#include <cstdint>

namespace naib {

enum NAIBErrorCode : std::int32_t {
  NAIB_OK = 0,
  NAIB_BAD_PARAMS = 2,
  NAIB_NEEDS_ALLOW_DOWNLOAD = 10,
  NAIB_DOWNLOAD_FAILED = 11,
  NAIB_APP_DIR_NOT_FOUND = 12,
  NAIB_SIGNATURE_INVALID = 13,
  NAIB_UPDATE_DISABLED = 15,
};

class ParamCheckerCore {
 public:
  virtual ~ParamCheckerCore() = default;
  virtual std::uint32_t GetOrigArgCount() = 0;
  /// The argument at index (below the count), valid while the checker lives.
  virtual const char* GetOrigUtf8Arg(unsigned index) = 0;
  virtual void PutValidatedUtf8Arg(const char* arg, bool isValue) = 0;
  virtual void PutRuntimeInstallerUtf8Path(const char* path) = 0;

  /// True when the launch goes on (error NAIB_OK); false when the process is to exit at
  /// once with error, after the version or the usage line on standard output.
  bool CheckParams(bool& allowDownload, bool& silent, NAIBErrorCode& error);
  /// Prints the missing-download-flag sentence and a line feed on standard output.
  void PrintNeedsAllowDownloadFlag();
};

}  // namespace naib
