#include "signature/CarriedCrl.h"

#include <gtest/gtest.h>

namespace signature {
namespace {

const std::string kPki = NAIB_TEST_PKI_DIR;

TEST(CarriedCrl, OnlyAListWhoseNextUpdateIsStillAheadStandsInForItsDownload) {
  const std::time_t now = std::time(nullptr);
  const std::time_t inAHundredYears = now + std::time_t{100} * 366 * 24 * 3600;
  struct Case {
    std::string file;
    std::time_t at;
    std::optional<bool> onlyWhenFetchFails;  // nullopt: not used at all
  };
  const Case cases[] = {
      {"crl-root.der", now, false},
      {"crl-intermediate.pem", now, false},
      {"crl-root.der", inAHundredYears, true},
      {"crl-intermediate-expired.der", now, true},
      {"crl-not-a-crl.html", now, std::nullopt},
      {"absent.crl", now, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto use = carriedCrlUse(kPki + "/" + c.file, c.at);
    EXPECT_EQ(use.has_value(), c.onlyWhenFetchFails.has_value()) << c.file;
    if (use && c.onlyWhenFetchFails) {
      EXPECT_EQ(use->onlyWhenFetchFails, *c.onlyWhenFetchFails) << c.file << " at " << c.at;
      EXPECT_EQ(use->path, kPki + "/" + c.file);
    }
  }
}

}  // namespace
}  // namespace signature
