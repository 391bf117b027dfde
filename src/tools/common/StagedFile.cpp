#include "tools/common/StagedFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/files/FileSystem.h"

namespace tools {
namespace {

std::string systemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

StagedFile::StagedFile(std::string finalPath) : finalPath_(std::move(finalPath)) {
  path_ = platform::appendPathComponent(platform::parentDirectory(finalPath_),
                                        "." + platform::lastPathComponent(finalPath_) + ".XXXXXX");
  fd_.reset(::mkostemp(path_.data(), O_CLOEXEC));
  if (!fd_) error_ = systemError("cannot create a file beside", finalPath_);
}

StagedFile::~StagedFile() {
  if (fd_ && !committed_) ::unlink(path_.c_str());
}

bool StagedFile::write(const std::string& bytes) {
  if (platform::writeAll(fd_.get(), bytes.data(), bytes.size())) return true;
  error_ = systemError("cannot write", path_);
  return false;
}

bool StagedFile::copyFrom(const std::string& source) {
  const platform::UniqueFd in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in) {
    error_ = systemError("cannot read", source);
    return false;
  }
  char buffer[1 << 16];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      error_ = systemError("cannot read", source);
      return false;
    }
    if (n == 0) return true;
    if (!write(std::string(buffer, static_cast<std::size_t>(n)))) return false;
  }
}

bool StagedFile::commit(unsigned mode) {
  if (::fchmod(fd_.get(), mode) != 0 || ::fsync(fd_.get()) != 0) {
    error_ = systemError("cannot finish", path_);
    return false;
  }
  if (::rename(path_.c_str(), finalPath_.c_str()) != 0) {
    error_ = systemError("cannot put in place", finalPath_);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace tools
