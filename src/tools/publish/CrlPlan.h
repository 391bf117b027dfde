#pragma once
// Which given revocation list answers which distribution point of a signer chain.

#include <string>
#include <vector>

#include "signature/OpenSslOwners.h"

namespace tools {

struct CrlPlacement {
  std::string url;   ///< a distribution point of the chain
  std::string file;  ///< the given list its certificate's issuer signed
};

struct CrlPlan {
  std::vector<CrlPlacement> placements;  ///< one per distinct distribution point answered
  std::vector<std::string> unanswered;   ///< distribution points no given list answers
  std::string error;                     ///< set when the plan cannot be used
};

/// Pairs each distribution point of every certificate of chain with the given list whose
/// issuer is that certificate's issuer (by name, and by a signature that the issuer's key
/// verifies). An error for a file that is no revocation list (DER or PEM, read as the
/// program reads them), a list that answers no distribution point, and two lists for one
/// point.
CrlPlan planCrls(const std::vector<signature::X509Ptr>& chain,
                 const std::vector<std::string>& crlFiles);

}  // namespace tools
