#pragma once
// The one trusted root of signature checks: a DER certificate embedded at build time. The
// program links the vendor's root (naib_trusted_root), test builds the test root
// (naib_trusted_root_test); exactly one of them defines these.

#include <cstddef>

namespace signature {

extern const unsigned char OrvelRootCert[];
extern const std::size_t OrvelRootCertLength;

}  // namespace signature
