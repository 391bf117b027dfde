#pragma once
// The checker over the process's own argument vector.

#include <optional>
#include <string>
#include <vector>

#include "naib/NAIB.h"

namespace naib {

class ParamChecker : public ParamCheckerCore {
 public:
  /// argv is the whole argument vector, program path first; the path and every argument
  /// that begins with "-psn" are left out.
  explicit ParamChecker(const std::vector<std::string>& argv);

  std::uint32_t GetOrigArgCount() override;
  /// The kept argument at index, valid while the checker lives; nullptr past the end.
  const char* GetOrigUtf8Arg(unsigned index) override;
  void PutValidatedUtf8Arg(const char* arg, bool isValue) override;
  void PutRuntimeInstallerUtf8Path(const char* path) override;

  /// The validated arguments in order, or nullptr when nothing was validated; the checker
  /// keeps ownership.
  const std::vector<std::string>* ParamArray() const;

 private:
  std::vector<std::string> origArgs_;
  std::optional<std::vector<std::string>> paramArray_;
  std::optional<std::string> runtimeInstallerPath_;
};

}  // namespace naib
