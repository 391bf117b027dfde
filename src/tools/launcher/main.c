// naib-launcher: the file at the top of a bundle's archive, the one a person double-clicks.
// It starts "<name>.app/Contents/MacOS/<name>" in its own real folder, where <name> is its
// own file name, with the same arguments and that path as argument 0: the program takes
// its package name from argument 0. It needs nothing but the C library, so it runs
// wherever the program it starts can.

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// As a shell reports a command it cannot run.
enum { kCannotExecute = 126, kNotFound = 127 };

/// This file's real path, from /proc/self/exe; NULL with errno set when it cannot be read.
/// The caller frees it.
static char* ownPath(void) {
  for (size_t size = 256;; size *= 2) {
    char* buffer = malloc(size);
    if (buffer == NULL) return NULL;
    const ssize_t n = readlink("/proc/self/exe", buffer, size);
    if (n >= 0 && (size_t)n < size) {
      buffer[n] = '\0';
      return buffer;
    }
    const int error = errno;
    free(buffer);
    if (n < 0) {
      errno = error;
      return NULL;
    }
  }
}

int main(int argc, char** argv) {
  char* self = ownPath();
  if (self == NULL || strrchr(self, '/') == NULL) {
    fprintf(stderr, "cannot tell where this program is (/proc/self/exe): %s\n",
            strerror(self == NULL ? errno : ENOENT));
    free(self);
    return kNotFound;
  }
  char* slash = strrchr(self, '/');
  *slash = '\0';
  const char* folder = self;
  const char* name = slash + 1;
  const size_t size = strlen(folder) + 2 * strlen(name) + sizeof "/.app/Contents/MacOS/";
  char* program = malloc(size);
  if (program == NULL) {
    free(self);
    return kCannotExecute;
  }
  snprintf(program, size, "%s/%s.app/Contents/MacOS/%s", folder, name, name);

  // Without arguments (argc 0, which a hostile parent can arrange) argv ends at once, and
  // its slot 0 must not be overwritten: what follows it is the environment.
  char* alone[] = {program, NULL};
  char** args = argc > 0 ? argv : alone;
  args[0] = program;
  execv(program, args);

  const int error = errno;
  const int status = error == ENOENT || error == ENOTDIR ? kNotFound : kCannotExecute;
  fprintf(stderr, "%s: cannot start %s: %s\n", name, program, strerror(error));
  if (status == kNotFound) {
    fprintf(stderr, "%s: keep \"%s.app\" in the same folder as \"%s\".\n", name, name, name);
  }
  free(program);
  free(self);
  return status;
}
