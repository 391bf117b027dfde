#include "signature/SignedDataReader.h"

#include <fcntl.h>
#include <unistd.h>

namespace signature {
namespace {

// The verification asks its source for 4 KiB at a time; read straight from the file that
// is one system call per 4 KiB, which costs more than the digest. A buffer of this size in
// front of the file makes it one call per block, and still fits the core's cache.
constexpr long kDataReadBlockBytes = 256 * 1024;

// A reader of fd from its start that leaves fd open for its owner; null when fd cannot be
// read from its start.
BIO* openDescriptor(int fd) {
  if (fd < 0 || ::lseek(fd, 0, SEEK_SET) != 0) return nullptr;
  return BIO_new_fd(fd, BIO_NOCLOSE);
}

// source behind a read buffer of kDataReadBlockBytes; takes source, also on failure. Null
// when either is null.
BIO* inLargeBlocks(BIO* source) {
  BioPtr owned(source);
  if (!owned) return nullptr;
  BioPtr buffer(BIO_new(BIO_f_buffer()));
  if (!buffer || BIO_set_read_buffer_size(buffer.get(), kDataReadBlockBytes) != 1) return nullptr;
  BIO_push(buffer.get(), owned.release());
  return buffer.release();
}

constexpr uint64_t kReleaseBytes = 1024 * 1024;

bool writeAt(int fd, const char* bytes, size_t length, uint64_t at) {
  while (length > 0) {
    const ssize_t n = ::pwrite(fd, bytes, length, static_cast<off_t>(at));
    if (n <= 0) return false;
    bytes += n;
    length -= static_cast<size_t>(n);
    at += static_cast<uint64_t>(n);
  }
  return true;
}

// Called after every read from the data file, with the block just read into the buffer
// that the digest reads next: the copy is written from the very bytes the digest will
// see. The file's copied bytes are then released (a hole punched, its size kept, a whole
// MiB at a time): nothing reads them again, the data file and the copy never take the
// memory of two installers, and the copy goes into pages that were just in use rather than
// into memory the system must first make ready. Where the data descriptor is not writable
// or the file system punches no holes, the data simply stays.
long copyReadData(BIO* source, int operation, const char* block, size_t, int, long, int result,
                  size_t* read) {
  auto* copy = reinterpret_cast<SignedDataReader::Copy*>(BIO_get_callback_arg(source));
  if (operation != (BIO_CB_READ | BIO_CB_RETURN) || result <= 0 || copy->failed) return result;
  copy->failed = !writeAt(copy->fd, block, *read, copy->copied);
  const uint64_t from = copy->copied / kReleaseBytes * kReleaseBytes;
  copy->copied += *read;
  const uint64_t to = copy->copied / kReleaseBytes * kReleaseBytes;
  if (copy->dataFd >= 0 && to > from) {
    ::fallocate(copy->dataFd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, static_cast<off_t>(from),
                static_cast<off_t>(to - from));
  }
  return result;
}

}  // namespace

SignedDataReader::SignedDataReader(const SignedData& data)
    : copy_{data.copy.value_or(-1), data.descriptor.value_or(-1)}, copying_(data.copy.has_value()) {
  // Streamed through the digest by the library; the file is never loaded whole.
  BIO* source =
      data.descriptor ? openDescriptor(*data.descriptor) : BIO_new_file(data.path.c_str(), "rb");
  if (copying_ && source != nullptr) {
    if (::ftruncate(copy_.fd, 0) != 0) {
      BIO_free(source);
      problem_ = "Unable to copy data " + data.path;
      return;
    }
    BIO_set_callback_arg(source, reinterpret_cast<char*>(&copy_));
    BIO_set_callback_ex(source, copyReadData);
  }
  bio_.reset(inLargeBlocks(source));
  if (!bio_) problem_ = "Unable to read data " + data.path;
}

bool SignedDataReader::copiedEveryByteRead() const {
  return !copying_ || (!copy_.failed && copy_.copied == BIO_number_read(bio_.get()));
}

}  // namespace signature
