#include "platform/url/GzipDecoder.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/testing/Gzip.h"

namespace platform {
namespace {

using testing::gzip;

struct Collected {
  std::string out;
  GzipDecoder::Sink sink() {
    return [this](const char* d, std::size_t n) {
      out.append(d, n);
      return true;
    };
  }
};

TEST(GzipDecoder, ContentCodingIsOneGzipLayerOrNone) {
  EXPECT_EQ(contentCodingOf(""), ContentCoding::kIdentity);
  EXPECT_EQ(contentCodingOf("Identity"), ContentCoding::kIdentity);
  EXPECT_EQ(contentCodingOf(" GZIP "), ContentCoding::kGzip);
  EXPECT_EQ(contentCodingOf("x-gzip"), ContentCoding::kGzip);
  EXPECT_EQ(contentCodingOf("br"), ContentCoding::kUnsupported);
  EXPECT_EQ(contentCodingOf("gzip, gzip"), ContentCoding::kUnsupported);
}

TEST(GzipDecoder, DecodesAStreamFedInSmallPieces) {
  std::string body(300000, 'a');
  for (std::size_t i = 0; i < body.size(); i += 7) body[i] = static_cast<char>(i);
  const std::string packed = gzip(body);
  GzipDecoder decoder;
  Collected c;
  for (std::size_t i = 0; i < packed.size(); i += 1000) {
    ASSERT_EQ(
        decoder.feed(packed.data() + i, std::min<std::size_t>(1000, packed.size() - i), c.sink()),
        GzipDecoder::Status::kOk);
  }
  EXPECT_TRUE(decoder.finished());
  EXPECT_EQ(c.out, body);
}

TEST(GzipDecoder, TruncatedStreamIsNotFinished) {
  const std::string packed = gzip(std::string(50000, 'z'));
  GzipDecoder decoder;
  Collected c;
  EXPECT_EQ(decoder.feed(packed.data(), packed.size() - 4, c.sink()), GzipDecoder::Status::kOk);
  EXPECT_FALSE(decoder.finished());
}

TEST(GzipDecoder, RefusesOtherFramingsGarbageAndASecondLayer) {
  const std::string zlibFramed = gzip("hello", MAX_WBITS);
  const std::string twoMembers = gzip("one") + gzip("two");
  for (const std::string& input : {zlibFramed, std::string(100, 'x'), twoMembers}) {
    GzipDecoder decoder;
    Collected c;
    EXPECT_EQ(decoder.feed(input.data(), input.size(), c.sink()), GzipDecoder::Status::kCorrupt);
    EXPECT_EQ(decoder.feed("x", 1, c.sink()), GzipDecoder::Status::kCorrupt);  // spent
  }
}

TEST(GzipDecoder, SinkCanStopABombEarly) {
  const std::string packed = gzip(std::string(16 << 20, '\0'));
  GzipDecoder decoder;
  std::size_t seen = 0;
  auto status = decoder.feed(packed.data(), packed.size(), [&](const char*, std::size_t n) {
    seen += n;
    return seen < (1 << 20);
  });
  EXPECT_EQ(status, GzipDecoder::Status::kStopped);
  EXPECT_LT(seen, 2u << 20);
}

}  // namespace
}  // namespace platform
