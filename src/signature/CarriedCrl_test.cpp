#include "signature/CarriedCrl.h"

#include <gtest/gtest.h>

namespace signature {
namespace {

TEST(CarriedCrl, OnlyAListWhoseNextUpdateIsStillAheadStandsInForItsDownload) {
  const std::time_t now = std::time(nullptr);
  const std::time_t inAHundredYears = now + std::time_t{100} * 366 * 24 * 3600;
  // file, time, the use: 0 instead of the fetch, 1 only when the fetch fails, -1 none.
  const std::tuple<std::string, std::time_t, int> cases[] = {
      {"crl-root.der", now, 0},
      {"crl-intermediate.pem", now, 0},
      {"crl-root.der", inAHundredYears, 1},
      {"crl-intermediate-expired.der", now, 1},
      {"crl-not-a-crl.html", now, -1},
      {"absent.crl", now, -1},
  };
  for (const auto& [file, at, expected] : cases) {
    const std::string path = std::string(NAIB_TEST_PKI_DIR) + "/" + file;
    const auto use = carriedCrlUse(path, at);
    EXPECT_EQ(use ? int{use->onlyWhenFetchFails} : -1, expected) << file << " at " << at;
    EXPECT_EQ(use ? use->path : path, path);
  }
}

}  // namespace
}  // namespace signature
