#pragma once
// naib-verify's road that fetches the revocation lists from the chain's distribution
// points: the program's own SignatureVerification driven to its verdict, with the
// Downloader on a run loop of its own. Only this road needs a loop, a download and a
// presenter; verifyWithLists (tools/common/Verification.h) checks lists at hand without them.

#include <string>

#include "tools/common/Verification.h"

namespace tools {

/// Verifies data against its detached signature, fetching the lists from the chain's
/// distribution points quietly (no progress window); the fetched files are removed before
/// this returns. Runs the platform run loop until the verdict; Ctrl-C stops the fetch and
/// ends the run as interrupted. Writes the program's install-log lines to the system log.
VerificationReport verifyFetchingLists(const std::string& data, const std::string& signaturePath);

}  // namespace tools
