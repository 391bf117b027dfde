#include "naib/ParamChecker.h"

namespace naib {

ParamChecker::ParamChecker(const std::vector<std::string>& argv) {
  // Argument 0, the program path, is never examined; "-psn…" is the process serial number
  // that a desktop launch adds.
  for (std::size_t i = 1; i < argv.size(); ++i)
    if (argv[i].rfind("-psn", 0) != 0) origArgs_.push_back(argv[i]);
}

std::uint32_t ParamChecker::GetOrigArgCount() {
  return static_cast<std::uint32_t>(origArgs_.size());
}

const char* ParamChecker::GetOrigUtf8Arg(unsigned index) {
  // Past the end is a caller's fault; answer null rather than end the process.
  return index < origArgs_.size() ? origArgs_[index].c_str() : nullptr;
}

void ParamChecker::PutValidatedUtf8Arg(const char* arg, bool /*isValue*/) {
  if (!paramArray_) paramArray_.emplace();
  paramArray_->emplace_back(arg);
}

void ParamChecker::PutRuntimeInstallerUtf8Path(const char* path) {
  runtimeInstallerPath_ = path;
}

const std::vector<std::string>* ParamChecker::ParamArray() const {
  return paramArray_ ? &*paramArray_ : nullptr;
}

}  // namespace naib
