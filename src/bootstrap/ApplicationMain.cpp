#include "bootstrap/ApplicationMain.h"

#include <string>
#include <vector>

#include "naib/ParamChecker.h"

namespace bootstrap {

int applicationMain(int argc, char** argv) {
  naib::ParamChecker checker(std::vector<std::string>(argv, argv + argc));
  bool allowDownload = false;
  bool silent = false;
  naib::NAIBErrorCode code = naib::NAIB_BAD_PARAMS;
  if (!checker.CheckParams(allowDownload, silent, code)) return code;
  return code;
}

}  // namespace bootstrap
