#include "platform/url/GzipDecoder.h"

#include <zlib.h>

#include <cctype>

namespace platform {

ContentCoding contentCodingOf(const std::string& contentEncoding) {
  std::string coding;
  for (char c : contentEncoding) {
    if (c != ' ' && c != '\t')
      coding += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (coding.empty() || coding == "identity") return ContentCoding::kIdentity;
  if (coding == "gzip" || coding == "x-gzip") return ContentCoding::kGzip;
  return ContentCoding::kUnsupported;
}

struct GzipDecoder::Stream {
  z_stream z{};
  bool ready = false;
};

void GzipDecoder::StreamEnd::operator()(Stream* stream) const {
  if (stream->ready) inflateEnd(&stream->z);
  delete stream;
}

GzipDecoder::GzipDecoder() : stream_(new Stream), out_(64 * 1024) {
  // 16 + MAX_WBITS: a gzip header and trailer only, never raw deflate or zlib framing.
  stream_->ready = inflateInit2(&stream_->z, 16 + MAX_WBITS) == Z_OK;
  spent_ = !stream_->ready;
}

GzipDecoder::~GzipDecoder() = default;

GzipDecoder::Status GzipDecoder::feed(const char* data, std::size_t length, const Sink& sink) {
  if (spent_) return Status::kCorrupt;
  // One layer only: anything after the end of the stream, a second member included, is
  // not what the server declared.
  if (finished_) {
    if (length == 0) return Status::kOk;
    spent_ = true;
    return Status::kCorrupt;
  }
  z_stream& z = stream_->z;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
  z.avail_in = static_cast<uInt>(length);
  do {
    z.next_out = reinterpret_cast<Bytef*>(out_.data());
    z.avail_out = static_cast<uInt>(out_.size());
    int rc = inflate(&z, Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
      spent_ = true;
      return Status::kCorrupt;
    }
    std::size_t produced = out_.size() - z.avail_out;
    if (produced > 0 && !sink(out_.data(), produced)) {
      spent_ = true;
      return Status::kStopped;
    }
    if (rc == Z_STREAM_END) {
      finished_ = true;
      if (z.avail_in != 0) {
        spent_ = true;
        return Status::kCorrupt;
      }
      return Status::kOk;
    }
    // Z_BUF_ERROR with input left and room in the output means no progress is possible.
    if (rc == Z_BUF_ERROR && z.avail_in != 0 && produced == 0) {
      spent_ = true;
      return Status::kCorrupt;
    }
  } while (z.avail_in != 0 || z.avail_out == 0);
  return Status::kOk;
}

}  // namespace platform
