#include "signature/SignedDataReader.h"

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

}  // namespace

SignedDataReader::SignedDataReader(const SignedData& data) {
  // Streamed through the digest by the library; the file is never loaded whole.
  bio_.reset(inLargeBlocks(data.descriptor ? openDescriptor(*data.descriptor)
                                           : BIO_new_file(data.path.c_str(), "rb")));
  if (!bio_) problem_ = "Unable to read data " + data.path;
}

}  // namespace signature
