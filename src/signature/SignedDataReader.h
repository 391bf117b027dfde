#pragma once
// The reader of the bytes a first pass digests: a file, or a descriptor of one the caller
// holds, read from its start in large blocks.

#include <openssl/bio.h>

#include <optional>
#include <string>

#include "signature/OpenSslOwners.h"

namespace signature {

/// The bytes a first pass judges.
struct SignedData {
  /// The data file: opened when there is no descriptor, and the name in messages.
  std::string path;
  /// Read from its start instead of path; the caller's, left open. Negative: a file that
  /// could not be opened.
  std::optional<int> descriptor;
};

/// One read of data from its start, in large blocks.
class SignedDataReader {
 public:
  explicit SignedDataReader(const SignedData& data);

  /// The reader to hand to the digest; null when the data cannot be read.
  BIO* bio() const { return bio_.get(); }
  /// Why bio() is null: "Unable to read data <path>".
  const std::string& problem() const { return problem_; }

 private:
  BioPtr bio_;
  std::string problem_;
};

}  // namespace signature
