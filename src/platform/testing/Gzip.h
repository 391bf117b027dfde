#pragma once
// For tests: compresses data in one go with zlib; gzip framing by default, zlib framing
// with wbits = MAX_WBITS.

#include <zlib.h>

#include <string>

namespace platform::testing {

inline std::string gzip(const std::string& data, int wbits = 16 + MAX_WBITS) {
  z_stream z{};
  deflateInit2(&z, 9, Z_DEFLATED, wbits, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&z, data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

}  // namespace platform::testing
