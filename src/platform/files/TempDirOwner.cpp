#include "platform/files/TempDirOwner.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <memory>
#include <optional>

#include "platform/files/FileSystem.h"

namespace platform {
namespace {

constexpr char kMarker[] = ".naib-owner";
constexpr char kMarkerDraft[] = ".naib-owner.new";
constexpr char kTitle[] = "naib private directory";
constexpr int kDepthLimit = 8;

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};
using DirPtr = std::unique_ptr<DIR, DirCloser>;

// name itself is never followed when it is a symbolic link.
UniqueFd openFd(int at, const char* name, int flags) {
  return UniqueFd(::openat(at, name, flags | O_CLOEXEC | O_NOFOLLOW));
}

// A listing of fd's directory that leaves fd itself open.
DirPtr listing(int fd) {
  UniqueFd copy(::dup(fd));
  DIR* d = copy ? ::fdopendir(copy.get()) : nullptr;
  // The listing owns the copy from here; closedir() closes it.
  if (d != nullptr) copy.release();
  return DirPtr(d);
}

// The start of a small file (a kernel or system record, or a marker) just opened as fd;
// empty when it cannot be read. The program's roads otherwise never use the stream
// library, whose set-up costs memory.
std::string readSmall(int fd) {
  char buffer[1024];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

std::string smallFile(const char* path) {
  const UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC));
  return fd ? readSmall(fd.get()) : std::string();
}

std::string firstLineOf(const char* path) {
  const std::string text = smallFile(path);
  return text.substr(0, text.find('\n'));
}

// The process's start, in clock ticks since boot: with the process id it names one
// process of one boot, even after the id is given to another. Field 22 of the process's
// record, the 20th after the name in parentheses.
std::string ownStartTime() {
  const std::string stat = smallFile("/proc/self/stat");
  std::size_t at = stat.rfind(')');
  for (int field = 0; field < 20 && at != std::string::npos; ++field) at = stat.find(' ', at + 1);
  if (at == std::string::npos) return {};
  return stat.substr(at + 1, stat.find(' ', at + 1) - at - 1);
}

struct Owner {
  std::string machine;
  std::string boot;
};

Owner thisBoot() {
  return {firstLineOf("/etc/machine-id"), firstLineOf("/proc/sys/kernel/random/boot_id")};
}

// The value of the line "<key> <value>" of text; empty when there is none.
std::string valueIn(const std::string& text, const std::string& key) {
  const std::string start = "\n" + key + " ";
  const std::size_t at = text.find(start);
  if (at == std::string::npos) return {};
  const std::size_t from = at + start.size();
  return text.substr(from, text.find('\n', from) - from);
}

// The marker's owner, when its text is a marker's; nullopt otherwise.
std::optional<Owner> ownerIn(const std::string& text) {
  if (text.rfind(std::string(kTitle) + "\n", 0) != 0) return std::nullopt;
  Owner owner{valueIn(text, "machine"), valueIn(text, "boot")};
  if (owner.boot.empty()) return std::nullopt;
  return owner;
}

bool looksLikePrivateDirectory(const std::string& name) {
  // mkdtemp's six characters after the prefix: letters and digits.
  if (name.size() != 11 || name.rfind("naib-", 0) != 0) return false;
  for (std::size_t i = 5; i < name.size(); ++i) {
    if (!std::isalnum(static_cast<unsigned char>(name[i]))) return false;
  }
  return true;
}

bool isOurs(const struct stat& st) {
  return st.st_uid == ::geteuid();
}

// Removes everything in dir without following a symbolic link: a link is removed itself.
void removeContents(int dir, int depth) {
  DirPtr list = listing(dir);
  if (!list) return;
  while (dirent* entry = ::readdir(list.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat st;
    if (::fstatat(dir, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) {
      const UniqueFd sub = openFd(dir, name.c_str(), O_RDONLY | O_DIRECTORY);
      if (sub && depth < kDepthLimit) removeContents(sub.get(), depth + 1);
      ::unlinkat(dir, name.c_str(), AT_REMOVEDIR);
    } else {
      ::unlinkat(dir, name.c_str(), 0);
    }
  }
}

// Whether the marker in dir proves that its maker is gone; the lock taken here is held by
// marker until the caller is done.
bool makerIsGone(int dir, UniqueFd& marker) {
  marker = openFd(dir, kMarker, O_RDONLY | O_NONBLOCK);
  struct stat st;
  if (!marker || ::fstat(marker.get(), &st) != 0 || !S_ISREG(st.st_mode) || !isOurs(st))
    return false;
  // Held: its maker still runs (or another run is removing it right now).
  if (::flock(marker.get(), LOCK_EX | LOCK_NB) != 0) return false;
  const auto recorded = ownerIn(readSmall(marker.get()));
  if (!recorded) return false;
  const Owner here = thisBoot();
  // One boot is one kernel, whose locks we just asked. Another boot of this machine ended
  // every process of its own; one of another machine may still run there.
  return recorded->boot == here.boot ||
         (!here.machine.empty() && recorded->machine == here.machine);
}

void removeIfAbandoned(int parent, const std::string& name) {
  const UniqueFd dir = openFd(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
  struct stat st;
  if (!dir || ::fstat(dir.get(), &st) != 0 || !isOurs(st) || (st.st_mode & 07777) != 0700) return;
  UniqueFd marker;
  if (!makerIsGone(dir.get(), marker)) return;
  removeContents(dir.get(), 0);
  // Only while the name still is the directory that was emptied.
  struct stat now;
  if (::fstatat(parent, name.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && now.st_dev == st.st_dev &&
      now.st_ino == st.st_ino) {
    ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
  }
}

}  // namespace

OwnerLock markDirectoryAsOurs(const std::string& path) {
  const UniqueFd dir = openFd(AT_FDCWD, path.c_str(), O_RDONLY | O_DIRECTORY);
  if (!dir) return {};
  const int at = dir.get();
  OwnerLock marker(::openat(at, kMarkerDraft, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
  if (!marker) return {};
  const Owner here = thisBoot();
  const std::string text = std::string(kTitle) + "\nmachine " + here.machine + "\nboot " +
                           here.boot + "\npid " + std::to_string(::getpid()) + "\nstart " +
                           ownStartTime() + "\n";
  // Locked before it has its name: a marker that can be found is always a locked one while
  // its maker lives.
  if (::flock(marker.get(), LOCK_EX | LOCK_NB) != 0 ||
      !writeAll(marker.get(), text.data(), text.size()) ||
      ::renameat(at, kMarkerDraft, at, kMarker) != 0) {
    ::unlinkat(at, kMarkerDraft, 0);
    return {};
  }
  return marker;
}

void removeAbandonedDirectories(const std::string& parentPath, const std::string& keep) {
  // The parent is named by the user ($TMPDIR may well be a link); only its entries are judged.
  const UniqueFd parent(::open(parentPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!parent) return;
  DirPtr list = listing(parent.get());
  if (!list) return;
  const std::string prefix = parentPath.back() == '/' ? parentPath : parentPath + "/";
  while (dirent* entry = ::readdir(list.get())) {
    const std::string name = entry->d_name;
    if (looksLikePrivateDirectory(name) && prefix + name != keep)
      removeIfAbandoned(parent.get(), name);
  }
}

}  // namespace platform
