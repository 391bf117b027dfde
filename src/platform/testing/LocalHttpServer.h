#pragma once
// The test HTTP server (tests/support/http_server.py) as a child process of a test: it
// starts in the constructor on a fresh scratch directory and is stopped in the destructor.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/files/UniqueFd.h"

extern char** environ;

namespace platform::testing {

class LocalHttpServer {
 public:
  /// Starts the server with routesJson as its routes; files for it go under root().
  explicit LocalHttpServer(const std::string& routesJson = "{}", double lifetimeSeconds = 60) {
    char pattern[] = "/tmp/naib-http-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
    dir_ = pattern;
    std::filesystem::create_directory(root());
    setRoutes(routesJson);
    start(lifetimeSeconds);
  }
  ~LocalHttpServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      int status;
      ::waitpid(pid_, &status, 0);
    }
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  int port() const { return port_; }
  std::string root() const { return dir_ + "/root"; }
  /// http://127.0.0.1:PORT followed by path (which starts with "/").
  std::string url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
  }
  /// Replaces the routes; the server reads them on every request.
  void setRoutes(const std::string& json) const { writeFile(dir_ + "/routes.json", json); }
  /// Writes a file under root().
  void addFile(const std::string& name, const std::string& content) const {
    writeFile(root() + "/" + name, content);
  }
  /// "GET /path" for every request so far, in order.
  std::vector<std::string> requests() const {
    std::vector<std::string> lines;
    std::ifstream in(dir_ + "/requests.log");
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  static void writeFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }

  void start(double lifetimeSeconds) {
    int fds[2];
    if (::pipe(fds) != 0) throw std::runtime_error("pipe");
    UniqueFd readEnd(fds[0]), writeEnd(fds[1]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, readEnd.get());
    std::string lifetime = std::to_string(lifetimeSeconds);
    std::string rootDir = root(), routes = dir_ + "/routes.json", log = dir_ + "/requests.log";
    std::vector<std::string> args = {
        "python3", "-S", NAIB_TEST_HTTP_SERVER, "--root", rootDir, "--routes", routes,
        "--log",   log,  "--lifetime",          lifetime};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    int rc = ::posix_spawnp(&pid_, "python3", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    writeEnd.reset();  // the server's end only: its exit then ends our read
    if (rc != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start the test server");
    }
    port_ = std::stoi(readLine(readEnd.get()));
  }

  static std::string readLine(int fd) {
    std::string line;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, 20000) > 0) {
      char c;
      if (::read(fd, &c, 1) != 1 || c == '\n') break;
      line.push_back(c);
    }
    if (line.empty()) throw std::runtime_error("the test server printed no port");
    return line;
  }

  std::string dir_;
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace platform::testing
