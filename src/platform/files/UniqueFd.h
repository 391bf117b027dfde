#pragma once
// The one owner of a file descriptor in this program: it closes what it holds when it goes,
// so no road leaks a descriptor, and a moved-from owner holds none, so none is closed twice.

#include <utility>

namespace platform {

class UniqueFd {
 public:
  UniqueFd() = default;
  /// Takes fd as it comes from open() and its kin: any negative value holds nothing.
  explicit UniqueFd(int fd) : fd_(fd < 0 ? -1 : fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  /// The descriptor, still owned here; -1 when none is held.
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  /// Hands the descriptor over without closing it; -1 when none was held.
  int release() { return std::exchange(fd_, -1); }
  /// Closes the descriptor held, if any, and takes fd (a negative value holds nothing).
  void reset(int fd = -1);
  /// Closes the descriptor held now; false when none was held or the system reports an
  /// error (a file system may report written data lost only here). Holds none afterwards.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace platform
