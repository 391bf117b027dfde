#include "platform/files/SealedCopy.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>

namespace platform {
namespace {

// MFD_EXEC asks for an executable file where vm.memfd_noexec (1) would make it one that
// cannot be started. Kernels before 6.3 refuse the unknown flag but make every such file
// executable, so the call is made again without it; where vm.memfd_noexec is 2 that second
// call makes a file that cannot be started, and the run ends as for any installer that
// cannot start.
constexpr unsigned kMfdExec = 0x0010U;
constexpr int kSeals = F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL;

}  // namespace

SealedCopy::SealedCopy(const std::string& name) {
  // Before the file exists: nothing of ours may be reachable from outside while it can be
  // written.
  ::prctl(PR_SET_DUMPABLE, 0);
  const unsigned flags = MFD_CLOEXEC | MFD_ALLOW_SEALING;
  fd_.reset(::memfd_create(name.c_str(), flags | kMfdExec));
  if (!fd_) fd_.reset(::memfd_create(name.c_str(), flags));
}

bool SealedCopy::seal() {
  if (!fd_) return false;
  ::fcntl(descriptor(), F_ADD_SEALS, kSeals);  // refused once F_SEAL_SEAL is in: then it was us
  const int seals = ::fcntl(descriptor(), F_GET_SEALS);
  return seals >= 0 && (seals & kSeals) == kSeals;
}

bool SealedCopy::addExecutePermission() {
  struct stat st {};
  if (!fd_ || ::fstat(descriptor(), &st) != 0) return false;
  return ::fchmod(descriptor(), (st.st_mode & 07777) | 0111) == 0;
}

}  // namespace platform
