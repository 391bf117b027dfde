#pragma once
// Decodes one gzip layer of a response body as it streams in, in bounded memory.

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// How a body is encoded on the wire (its Content-Encoding).
enum class ContentCoding {
  kIdentity,     ///< no header, or "identity"
  kGzip,         ///< "gzip" or "x-gzip", in any letter case: one gzip layer
  kUnsupported,  ///< anything else, several codings included
};
ContentCoding contentCodingOf(const std::string& contentEncoding);

class GzipDecoder {
 public:
  enum class Status {
    kOk,       ///< all input consumed, every decoded byte handed to the sink
    kCorrupt,  ///< not a gzip stream, a damaged one, or bytes after its end
    kStopped,  ///< the sink refused a piece
  };
  /// Receives each decoded piece in order; returns false to stop decoding.
  using Sink = std::function<bool(const char* data, std::size_t length)>;

  GzipDecoder();
  ~GzipDecoder();
  GzipDecoder(const GzipDecoder&) = delete;
  GzipDecoder& operator=(const GzipDecoder&) = delete;

  /// Decodes the next piece of the encoded stream. After kCorrupt or kStopped the decoder
  /// is spent and every later call returns kCorrupt.
  Status feed(const char* data, std::size_t length, const Sink& sink);

  /// True once the gzip stream's end (with its checksum) has been read.
  bool finished() const { return finished_; }

 private:
  struct Stream;
  struct StreamEnd {
    void operator()(Stream* stream) const;
  };
  std::unique_ptr<Stream, StreamEnd> stream_;
  std::vector<char> out_;
  bool finished_ = false;
  bool spent_ = false;
};

}  // namespace platform
