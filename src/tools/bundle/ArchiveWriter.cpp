#include "tools/bundle/ArchiveWriter.h"

#include <archive.h>
#include <archive_entry.h>
#include <locale.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>

#include "tools/common/StagedFile.h"

namespace fs = std::filesystem;

namespace tools {
namespace {

constexpr mode_t kFolderMode = 0755;
constexpr mode_t kProgramMode = 0755;
constexpr mode_t kDataMode = 0644;
constexpr mode_t kLinkMode = 0777;

struct ArchiveFree {
  void operator()(archive* a) const { archive_write_free(a); }
};
struct EntryFree {
  void operator()(archive_entry* e) const { archive_entry_free(e); }
};
struct FileClose {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using Archive = std::unique_ptr<archive, ArchiveFree>;
using Entry = std::unique_ptr<archive_entry, EntryFree>;
using File = std::unique_ptr<std::FILE, FileClose>;

/// Makes this thread's character type UTF-8 while it lives. libarchive converts names from
/// the locale's character set into the UTF-8 of pax headers, and in the C locale of a tool
/// every name beyond ASCII would be stored as raw bytes under a "hdrcharset" record that
/// GNU tar warns about on every entry.
class Utf8Names {
 public:
  Utf8Names() : utf8_(::newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr)) {
    if (utf8_ != nullptr) previous_ = ::uselocale(utf8_);
  }
  ~Utf8Names() {
    if (utf8_ == nullptr) return;
    ::uselocale(previous_);
    ::freelocale(utf8_);
  }
  Utf8Names(const Utf8Names&) = delete;
  Utf8Names& operator=(const Utf8Names&) = delete;

 private:
  locale_t utf8_;
  locale_t previous_ = nullptr;
};

/// One archive entry and where its bytes come from: a file on disk, or text made here.
struct Member {
  std::string name;
  mode_t type = AE_IFREG;
  mode_t mode = kDataMode;
  std::string source;
  std::string text;
  std::string linkTarget;
};

std::string topFolder(const std::string& appName) {
  return "Install " + appName;
}

std::string shellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// What a person reads first; @L@ is the launcher's name, @Q@ that name quoted for a shell,
// @P@ the program's path in the bundle quoted for a shell.
constexpr char kReadme[] = R"(@L@

This folder installs @A@. Keep its contents together: the program "@L@"
starts "@L@.app" beside it.

GNOME (Files): double-click "@L@".

KDE (Dolphin): double-click "@L@", and choose Execute when asked.

Xfce (Thunar): double-click "@L@"; if asked, choose Execute.

In a terminal, in this folder:
    ./@Q@
An administrator's script passes the installer's options the same way:
    ./@Q@ -silent -eulaAccepted -allowDownload

On a USB stick or another FAT disk no program can start: copy the whole folder
"@L@" to your home folder first, and start it from there.

If a double-click only opens the file, the tool that unpacked the archive dropped
the execute permission. Unpack it again with the desktop's archive tool or tar,
or run in a terminal, in this folder:
    chmod +x @Q@ @P@
)";

std::string readmeText(const std::string& appName) {
  const std::string launcher = topFolder(appName);
  const std::map<char, std::string> values{
      {'A', appName},
      {'L', launcher},
      {'Q', shellQuoted(launcher)},
      {'P', shellQuoted(launcher + ".app/Contents/MacOS/" + launcher)}};
  std::string text;
  for (const char* c = kReadme; *c != '\0'; ++c) {
    if (c[0] == '@' && values.count(c[1]) && c[2] == '@') {
      text += values.at(c[1]);
      c += 2;
    } else {
      text += *c;
    }
  }
  return text;
}

std::optional<long long> parseSeconds(const std::string& text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  if (text.empty() || text.front() < '0' || text.front() > '9') return std::nullopt;
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || stop != end) return std::nullopt;
  return value;
}

/// The newest modification time among inputs and, for folders, everything under them
/// (links not followed below the top). Empty reason on success.
std::string newestTime(const std::vector<std::string>& inputs, long long& newest) {
  newest = 0;
  for (const std::string& input : inputs) {
    struct stat st {};
    if (::stat(input.c_str(), &st) != 0) {
      return "cannot read " + input + ": " + std::strerror(errno);
    }
    newest = std::max<long long>(newest, st.st_mtim.tv_sec);
    if (!S_ISDIR(st.st_mode)) continue;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(input, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (::lstat(it->path().c_str(), &st) != 0) {
        return "cannot read " + it->path().string() + ": " + std::strerror(errno);
      }
      newest = std::max<long long>(newest, st.st_mtim.tv_sec);
    }
    if (ec) return "cannot read " + input + ": " + ec.message();
  }
  return std::string();
}

bool leadsOutside(const fs::path& link, const fs::path& target, const fs::path& top) {
  if (target.is_absolute()) return true;
  const fs::path relative =
      (link.parent_path() / target).lexically_normal().lexically_relative(top);
  return relative.empty() || *relative.begin() == "..";
}

/// The bundle's entries under prefix: folders, files by their owner's execute bit, links.
std::string collectBundle(const fs::path& folder, const std::string& prefix,
                          std::vector<Member>& members) {
  // Links are judged against the same spelling of the folder as the paths under it.
  const fs::path bundle = fs::absolute(folder).lexically_normal();
  members.push_back({prefix, AE_IFDIR, kFolderMode, {}, {}, {}});
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(bundle, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& path = it->path();
    const std::string name = prefix + "/" + path.lexically_relative(bundle).string();
    const fs::file_status status = it->symlink_status(ec);
    if (ec) break;
    if (fs::is_symlink(status)) {
      const fs::path target = fs::read_symlink(path, ec);
      if (ec) break;
      if (leadsOutside(path, target, bundle)) {
        return "symbolic link " + path.string() + " -> " + target.string() +
               " leads outside the bundle";
      }
      members.push_back({name, AE_IFLNK, kLinkMode, {}, {}, target.string()});
    } else if (fs::is_directory(status)) {
      members.push_back({name, AE_IFDIR, kFolderMode, {}, {}, {}});
    } else if (fs::is_regular_file(status)) {
      const bool program = (status.permissions() & fs::perms::owner_exec) != fs::perms::none;
      members.push_back({name, AE_IFREG, program ? kProgramMode : kDataMode, path, {}, {}});
    } else {
      return path.string() + " is not a file, folder or symbolic link";
    }
  }
  if (ec) return "cannot read the bundle " + bundle.string() + ": " + ec.message();
  return std::string();
}

std::string libraryError(archive* a, const std::string& what) {
  const char* text = archive_error_string(a);
  return "cannot write the archive (" + what + "): " + (text ? text : "unknown error");
}

/// Streams a file's bytes; the size in the entry's header is the size of the file opened.
std::string writeFileData(archive* a, archive_entry* entry, const Member& member) {
  File file(std::fopen(member.source.c_str(), "rbe"));
  struct stat st {};
  if (!file || ::fstat(::fileno(file.get()), &st) != 0) {
    return "cannot read " + member.source + ": " + std::strerror(errno);
  }
  archive_entry_set_size(entry, st.st_size);
  if (archive_write_header(a, entry) < ARCHIVE_WARN) return libraryError(a, member.name);
  char buffer[1 << 16];
  long long left = st.st_size;
  while (left > 0) {
    const size_t n = std::fread(buffer, 1, std::min<size_t>(left, sizeof buffer), file.get());
    if (n == 0) {
      return "cannot read " + member.source + ": " +
             (std::ferror(file.get()) ? std::strerror(errno) : "it shrank while it was read");
    }
    if (archive_write_data(a, buffer, n) != static_cast<la_ssize_t>(n)) {
      return libraryError(a, member.name);
    }
    left -= static_cast<long long>(n);
  }
  return std::string();
}

std::string writeMember(archive* a, const Member& member, long long time) {
  Entry entry(archive_entry_new());
  archive_entry_set_pathname(entry.get(), member.name.c_str());
  archive_entry_set_filetype(entry.get(), member.type);
  archive_entry_set_perm(entry.get(), member.mode);
  archive_entry_set_uid(entry.get(), 0);
  archive_entry_set_gid(entry.get(), 0);
  archive_entry_set_mtime(entry.get(), time, 0);
  if (member.type == AE_IFREG && !member.source.empty()) {
    return writeFileData(a, entry.get(), member);
  }
  if (member.type == AE_IFLNK) archive_entry_set_symlink(entry.get(), member.linkTarget.c_str());
  archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.text.size()));
  if (archive_write_header(a, entry.get()) < ARCHIVE_WARN) return libraryError(a, member.name);
  if (!member.text.empty() && archive_write_data(a, member.text.data(), member.text.size()) !=
                                  static_cast<la_ssize_t>(member.text.size())) {
    return libraryError(a, member.name);
  }
  return std::string();
}

/// pax (ustar where that suffices), gzip without a time in its header, into fd.
Archive openArchive(int fd, std::string& error) {
  Archive a(archive_write_new());
  if (!a || archive_write_set_format_pax_restricted(a.get()) != ARCHIVE_OK ||
      archive_write_add_filter_gzip(a.get()) != ARCHIVE_OK ||
      archive_write_set_filter_option(a.get(), "gzip", "timestamp", nullptr) != ARCHIVE_OK ||
      archive_write_set_filter_option(a.get(), "gzip", "compression-level", "9") != ARCHIVE_OK ||
      archive_write_open_fd(a.get(), fd) != ARCHIVE_OK) {
    error = a ? libraryError(a.get(), "open") : "cannot write the archive: out of memory";
    return nullptr;
  }
  return a;
}

std::string writeMembers(const std::vector<Member>& members, long long time, int fd) {
  const Utf8Names utf8;
  std::string error;
  Archive a = openArchive(fd, error);
  if (!a) return error;
  for (const Member& member : members) {
    if (error = writeMember(a.get(), member, time); !error.empty()) return error;
  }
  if (archive_write_close(a.get()) != ARCHIVE_OK) return libraryError(a.get(), "close");
  return std::string();
}

}  // namespace

std::string archiveFileName(const std::string& appName) {
  return topFolder(appName) + ".tar.gz";
}

std::string checkArchive(const ArchiveRequest& request) {
  std::error_code ec;
  if (!fs::is_regular_file(request.launcher, ec)) return "no launcher at " + request.launcher;
  if (request.sourceDateEpoch && !parseSeconds(*request.sourceDateEpoch)) {
    return "SOURCE_DATE_EPOCH \"" + *request.sourceDateEpoch +
           "\" is not a number of seconds since 1970";
  }
  const fs::path archive = fs::path(request.outputDir) / archiveFileName(request.appName);
  if (fs::symlink_status(archive, ec).type() != fs::file_type::not_found && !request.force) {
    return archive.string() + " exists (use --force to replace it)";
  }
  return std::string();
}

std::string writeArchive(const ArchiveRequest& request) {
  long long time = 0;
  if (request.sourceDateEpoch) {
    time = parseSeconds(*request.sourceDateEpoch).value_or(0);
  } else if (std::string problem = newestTime(request.inputs, time); !problem.empty()) {
    return problem;
  }
  const std::string top = topFolder(request.appName);
  std::vector<Member> members{
      {top, AE_IFDIR, kFolderMode, {}, {}, {}},
      {top + "/" + top, AE_IFREG, kProgramMode, request.launcher, {}, {}},
      {top + "/README.txt", AE_IFREG, kDataMode, {}, readmeText(request.appName), {}}};
  if (std::string problem = collectBundle(request.bundle, top + "/" + top + ".app", members);
      !problem.empty()) {
    return problem;
  }
  std::sort(members.begin(), members.end(),
            [](const Member& a, const Member& b) { return a.name < b.name; });

  StagedFile staged((fs::path(request.outputDir) / archiveFileName(request.appName)).string());
  if (!staged.ok()) return staged.error();
  if (std::string problem = writeMembers(members, time, staged.fd()); !problem.empty()) {
    return problem;
  }
  if (!staged.commit(0644)) return staged.error();
  return std::string();
}

}  // namespace tools
