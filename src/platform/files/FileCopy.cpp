#include "platform/files/FileCopy.h"

#include <errno.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/files/FileSystem.h"
#include "platform/files/UniqueFd.h"
#include "platform/url/DestinationFile.h"

namespace platform {
namespace {

// Where the kernel cannot copy, the bytes pass through user space in blocks of the size
// the verification reads in.
constexpr std::size_t kPlainBlockBytes = std::size_t{256} << 10;

bool kernelRefused(int error) {
  return error == EXDEV || error == ENOSYS || error == EOPNOTSUPP || error == EINVAL;
}

std::int64_t readWritePiece(int from, int to, std::size_t maxBytes, std::vector<char>& buffer) {
  if (buffer.empty()) buffer.resize(kPlainBlockBytes);
  ssize_t n;
  do {
    n = ::read(from, buffer.data(), std::min(maxBytes, buffer.size()));
  } while (n < 0 && errno == EINTR);
  if (n <= 0) return n;
  return writeAll(to, buffer.data(), static_cast<std::size_t>(n)) ? n : -1;
}

std::string systemReason(const std::string& what, int error) {
  return what + ": " + std::strerror(error);
}

}  // namespace

std::int64_t copyPiece(int from, int to, std::size_t maxBytes, CopyWay& way,
                       std::vector<char>& buffer) {
  if (way == CopyWay::kPlain) return readWritePiece(from, to, maxBytes, buffer);
  ssize_t n;
  do {
    n = way == CopyWay::kRange ? ::copy_file_range(from, nullptr, to, nullptr, maxBytes, 0)
                               : ::sendfile(to, from, nullptr, maxBytes);
  } while (n < 0 && errno == EINTR);
  if (n > 0) return n;
  if (n < 0 && !kernelRefused(errno)) return -1;
  // Some filesystems answer 0 before the end instead of refusing; a read tells which.
  const std::int64_t read = readWritePiece(from, to, maxBytes, buffer);
  if (n < 0 || read != 0) way = way == CopyWay::kRange ? CopyWay::kSend : CopyWay::kPlain;
  return read;
}

struct FileCopy::Impl {
  std::string source;
  UniqueFd from;
  std::unique_ptr<DestinationFile> to;
  std::int64_t size = 0;
  std::int64_t maxBytes = 0;
  std::int64_t copied = 0;
  CopyWay way = CopyWay::kRange;
  std::vector<char> buffer;
  FileCopyCallbacks callbacks;
  guint source_id = 0;

  static gboolean step(gpointer data);
  /// Ends the copy and calls the last callback; the owner may destroy everything there.
  static gboolean end(Impl* impl, const std::string& failure);
};

gboolean FileCopy::Impl::step(gpointer data) {
  auto* impl = static_cast<Impl*>(data);
  // One byte past the cap is enough to know the source grew beyond what may be copied.
  const auto allowed = static_cast<std::size_t>(
      std::min<std::int64_t>(kCopyPieceBytes, impl->maxBytes - impl->copied + 1));
  const std::int64_t n =
      copyPiece(impl->from.get(), impl->to->descriptor(), allowed, impl->way, impl->buffer);
  if (n < 0) return end(impl, systemReason("cannot copy " + impl->source, errno));
  if (n == 0) {
    if (!impl->to->close()) {
      return end(impl, systemReason("cannot write " + impl->to->path(), errno));
    }
    return end(impl, std::string());
  }
  impl->copied += n;
  if (impl->copied > impl->maxBytes) {
    return end(impl, impl->source + " is larger than " + std::to_string(impl->maxBytes) + " bytes");
  }
  if (impl->callbacks.progress) impl->callbacks.progress(impl->copied, impl->size);
  return G_SOURCE_CONTINUE;
}

gboolean FileCopy::Impl::end(Impl* impl, const std::string& failure) {
  impl->source_id = 0;
  // Moved out first: the owner may destroy this copy inside the callback.
  if (failure.empty()) {
    auto finished = std::move(impl->callbacks.finished);
    if (finished) finished();
  } else {
    auto failed = std::move(impl->callbacks.failed);
    if (failed) failed(failure);
  }
  return G_SOURCE_REMOVE;
}

namespace {

// The copy's source, opened and checked; nullptr with why set when it may not be copied.
std::unique_ptr<FileCopy::Impl> openSource(const std::string& source, std::int64_t maxBytes,
                                           std::string& why) {
  auto impl = std::make_unique<FileCopy::Impl>();
  impl->source = source;
  // Non-blocking, so that a FIFO planted under the name cannot hold the open.
  impl->from.reset(::open(source.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (!impl->from) {
    why = systemReason("cannot read " + source, errno);
    return nullptr;
  }
  struct stat st {};
  if (::fstat(impl->from.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    why = source + " is not a regular file";
    return nullptr;
  }
  if (st.st_size > maxBytes) {
    why = source + " is larger than " + std::to_string(maxBytes) + " bytes";
    return nullptr;
  }
  impl->size = st.st_size;
  impl->maxBytes = maxBytes;
  return impl;
}

}  // namespace

std::unique_ptr<FileCopy> FileCopy::begin(std::unique_ptr<Impl> impl, FileCopyCallbacks callbacks) {
  impl->callbacks = std::move(callbacks);
  impl->source_id = g_idle_add_full(G_PRIORITY_DEFAULT_IDLE, &Impl::step, impl.get(), nullptr);
  return std::unique_ptr<FileCopy>(new FileCopy(std::move(impl)));
}

std::unique_ptr<FileCopy> FileCopy::start(const std::string& source, const std::string& destination,
                                          std::int64_t maxBytes, FileCopyCallbacks callbacks,
                                          std::string& why) {
  auto impl = openSource(source, maxBytes, why);
  if (!impl) return nullptr;
  impl->to = DestinationFile::create(destination, false);
  if (!impl->to) {
    why = "cannot create a file at " + destination;
    return nullptr;
  }
  return begin(std::move(impl), std::move(callbacks));
}

std::unique_ptr<FileCopy> FileCopy::startInto(const std::string& source, int descriptor,
                                              std::string name, std::int64_t maxBytes,
                                              FileCopyCallbacks callbacks, std::string& why) {
  auto impl = openSource(source, maxBytes, why);
  if (!impl) return nullptr;
  impl->to = DestinationFile::into(descriptor, name);
  if (!impl->to) {
    why = systemReason("cannot write " + name, errno);
    return nullptr;
  }
  return begin(std::move(impl), std::move(callbacks));
}

FileCopy::FileCopy(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

FileCopy::~FileCopy() {
  if (impl_->source_id != 0) g_source_remove(impl_->source_id);
}

const std::string& FileCopy::destinationPath() const {
  return impl_->to->path();
}

}  // namespace platform
