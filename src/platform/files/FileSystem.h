#pragma once
// File operations of the file manager, over POSIX calls.

#include <cstddef>
#include <optional>
#include <string>

namespace platform {

/// True when anything (file, directory, other) exists at path; follows symbolic links.
bool fileExists(const std::string& path);
/// As fileExists, and tells whether it is a directory.
bool fileExists(const std::string& path, bool& isDirectory);
/// True when path names a regular file; follows symbolic links.
bool isRegularFile(const std::string& path);
/// The permission bits (07777) of path, following symbolic links; nullopt when unreadable.
std::optional<unsigned> posixPermissions(const std::string& path);
/// Sets the permission bits of path; true on success.
bool setPosixPermissions(const std::string& path, unsigned mode);
/// Removes a file, or a directory with its contents; true when nothing is left at path.
bool removeItem(const std::string& path);
/// path with every symbolic link resolved; path itself when it cannot be resolved.
std::string resolveSymlinks(const std::string& path);
/// base joined with one component by a single "/".
std::string appendPathComponent(const std::string& base, const std::string& component);
/// The part after the last "/" (trailing slashes ignored).
std::string lastPathComponent(const std::string& path);
/// The directory that holds path: "/" for a top-level entry, "." for a bare name.
std::string parentDirectory(const std::string& path);
/// The folder of the running executable, links resolved (/proc/self/exe); "." when it
/// cannot be read.
std::string executableDirectory();
/// Writes every byte of data to fd, again after an interrupted call; false on an error or
/// a write that makes no progress (errno EIO then).
bool writeAll(int fd, const char* data, std::size_t length);

}  // namespace platform
