#pragma once
// The reader of the bytes a first pass digests, and the copy of them that later runs: the
// copy is written from the very block the digest reads next, so that it can hold nothing
// but digested bytes.

#include <openssl/bio.h>

#include <cstdint>
#include <optional>
#include <string>

#include "signature/OpenSslOwners.h"

namespace signature {

/// The bytes a first pass judges, and where a copy of them goes as they are digested.
struct SignedData {
  /// The data file: opened when there is no descriptor, and the name in messages.
  std::string path;
  /// Read from its start instead of path; the caller's, left open. Negative: a file that
  /// could not be opened.
  std::optional<int> descriptor;
  /// Receives every digested byte, over whatever it held; the caller's, left open. When
  /// descriptor is open for writing, the data's blocks are released (holes punched, a MiB
  /// at a time, the size kept) once they are in the copy.
  std::optional<int> copy;
};

/// One read of data from its start, in large blocks, with its copy (when data asks for
/// one) written as each block is read. Neither movable nor copyable: the reads find the
/// copy's state here.
class SignedDataReader {
 public:
  explicit SignedDataReader(const SignedData& data);
  SignedDataReader(const SignedDataReader&) = delete;
  SignedDataReader& operator=(const SignedDataReader&) = delete;

  /// The reader to hand to the digest; null when the data or its copy cannot be had.
  BIO* bio() const { return bio_.get(); }
  /// Why bio() is null: "Unable to read data <path>" or "Unable to copy data <path>".
  const std::string& problem() const { return problem_; }
  /// True when no copy was asked for, or the copy took every byte read through bio().
  bool copiedEveryByteRead() const;

  /// What the reads did to the copy; public only for the read callback.
  struct Copy {
    int fd = -1;
    int dataFd = -1;  ///< the data's descriptor when it may release what is copied; else -1
    uint64_t copied = 0;
    bool failed = false;
  };

 private:
  Copy copy_;
  bool copying_ = false;
  BioPtr bio_;
  std::string problem_;
};

}  // namespace signature
