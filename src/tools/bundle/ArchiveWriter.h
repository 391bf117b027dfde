#pragma once
// "Install <App>.tar.gz": the bundle as a person receives it. One folder "Install <App>/"
// holds the launcher "Install <App>" (what a person double-clicks), the bundle
// "Install <App>.app" and a README.txt. Every entry's owner, mode and time is written here
// rather than taken from this machine, so two runs on the same inputs give the same bytes,
// and the modes survive the way to the person (a tar archive keeps them, and the desktops'
// archive tools apply them).

#include <optional>
#include <string>
#include <vector>

namespace tools {

struct ArchiveRequest {
  std::string appName;    ///< <App>
  std::string bundle;     ///< the finished "Install <App>.app" folder, carried whole
  std::string launcher;   ///< the launcher program, carried as "Install <App>"
  std::string outputDir;  ///< where "Install <App>.tar.gz" goes (must exist)
  /// What the bundle was made from (folders are walked); the newest entry's modification
  /// time is every entry's time when sourceDateEpoch is unset.
  std::vector<std::string> inputs;
  /// SOURCE_DATE_EPOCH as the environment gives it; nullopt when it is not set.
  std::optional<std::string> sourceDateEpoch;
  bool force = false;  ///< replace an existing archive
};

/// "Install <name>.tar.gz".
std::string archiveFileName(const std::string& appName);

/// What can be refused before anything is written: a launcher that is no file, a
/// sourceDateEpoch that is not a decimal number of seconds, an existing archive without
/// force. Returns a one-line reason, or the empty string when the archive can be made.
std::string checkArchive(const ArchiveRequest& request);

/// Call after checkArchive, once the bundle is complete. Writes the archive beside its final
/// place and renames it there (mode 0644); entries sorted by name, owner and group 0,
/// folders and the launcher 0755, the bundle's files 0755 when their owner may execute them
/// and 0644 otherwise, no set-id bits, links as links (one that is absolute or leads out of
/// the bundle is refused), all with one modification time, and a gzip header without a
/// time or a name. Returns the empty string on success, else a one-line reason, and then
/// nothing is left behind.
std::string writeArchive(const ArchiveRequest& request);

}  // namespace tools
