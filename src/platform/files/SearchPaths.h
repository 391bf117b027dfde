#pragma once
// Standard directories by domain: the stand-in for the search-path function.

#include <string>
#include <vector>

namespace platform {

enum SearchPathDomain : unsigned {
  kUserDomainMask = 1,     ///< $HOME/Library
  kLocalDomainMask = 2,    ///< /Library
  kNetworkDomainMask = 4,  ///< /Network/Library
  kSystemDomainMask = 8,   ///< /System/Library
};

enum SearchPathDirectory { kLibraryDirectory = 5, kApplicationSupportDirectory = 14 };

/// The directories for the domains in mask, in domain order user, local, network, system;
/// whether they exist is not checked.
std::vector<std::string> searchPathForDirectoriesInDomains(SearchPathDirectory directory,
                                                           unsigned domainMask);

}  // namespace platform
