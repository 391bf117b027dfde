#pragma once
// A directory tree for tests: made fresh under $TMPDIR (else /tmp), removed with everything
// in it when the object goes.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <string>
#include <system_error>
#include <utility>

namespace platform::testing {

class ScratchDir {
 public:
  ScratchDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/naib-test-XXXXXX";
    // The real path, so that paths the system resolves (the running executable's) compare
    // equal to paths made here even when the temporary directory is reached through a link.
    std::error_code ec;
    if (::mkdtemp(pattern.data()) != nullptr) path_ = std::filesystem::canonical(pattern, ec);
  }
  ~ScratchDir() {
    std::error_code ec;
    // Tests take permissions away; give them back so the tree can go.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  const std::string& path() const { return path_; }
  std::string operator/(const std::string& relative) const { return path_ + "/" + relative; }

  /// Makes the directory relative (and its parents); returns its full path.
  std::string mkdirs(const std::string& relative) const {
    std::error_code ec;
    std::filesystem::create_directories(*this / relative, ec);
    return *this / relative;
  }

  /// Writes bytes to the file relative, making its parents; returns its full path.
  std::string write(const std::string& relative, const std::string& bytes,
                    unsigned mode = 0644) const {
    std::filesystem::path full = *this / relative;
    std::error_code ec;
    std::filesystem::create_directories(full.parent_path(), ec);
    {
      std::ofstream out(full, std::ios::binary | std::ios::trunc);
      out << bytes;
    }
    ::chmod(full.c_str(), mode);
    return full.string();
  }

 private:
  std::string path_;
};

/// An XML property list whose top-level dictionary holds the given string entries.
inline std::string xmlPlist(std::initializer_list<std::pair<std::string, std::string>> entries) {
  std::string xml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<plist version=\"1.0\">\n<dict>\n";
  for (const auto& [key, value] : entries) {
    xml += "  <key>" + key + "</key>\n  <string>" + value + "</string>\n";
  }
  return xml + "</dict>\n</plist>\n";
}

}  // namespace platform::testing
