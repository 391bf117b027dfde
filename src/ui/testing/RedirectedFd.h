#pragma once
// For tests: points a standard stream (0, 1 or 2) at a pipe for the life of the object,
// so what the presenter prints can be read back and nothing waits on a real terminal.

#include <fcntl.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/files/UniqueFd.h"

namespace ui::testing {

class RedirectedFd {
 public:
  explicit RedirectedFd(int target) : target_(target), saved_(dup(target)) {
    int fds[2];
    if (pipe(fds) != 0) return;
    read_.reset(fds[0]);
    write_.reset(fds[1]);
    fcntl(read_.get(), F_SETFL, O_NONBLOCK);
    dup2(target == 0 ? read_.get() : write_.get(), target);
  }
  ~RedirectedFd() { dup2(saved_.get(), target_); }
  RedirectedFd(const RedirectedFd&) = delete;
  RedirectedFd& operator=(const RedirectedFd&) = delete;

  /// Everything written to the stream so far (for an output stream).
  std::string read() {
    std::string out;
    char buffer[1024];
    ssize_t n;
    while ((n = ::read(read_.get(), buffer, sizeof buffer)) > 0) out.append(buffer, n);
    return out;
  }

 private:
  int target_;
  platform::UniqueFd saved_;
  platform::UniqueFd read_, write_;
};

/// True when libgtk-3 is mapped into this process.
inline bool gtkIsMapped() {
  std::ifstream maps("/proc/self/maps");
  std::stringstream text;
  text << maps.rdbuf();
  return text.str().find("libgtk-3") != std::string::npos;
}

}  // namespace ui::testing
