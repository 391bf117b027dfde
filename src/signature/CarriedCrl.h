#pragma once
// How the revocation lists a bundle carries take part in the revocation pass: a current
// list stands in for its download, an out-of-date one only for a download that fails.
// Lists are signed by their issuer, so where one comes from decides nothing else.

#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "download/Downloader.h"

namespace signature {

/// The use of the list at path, read as the revocation pass reads lists, at time now:
/// copied instead of fetched when its next update is after now; fetched, and copied only
/// when the fetch fails, when it is out of date or names no next update; nullopt (fetched
/// as for a bundle without it) when it cannot be read as a list.
std::optional<download::CarriedFile> carriedCrlUse(const std::string& path, std::time_t now);

/// carriedCrlUse of the file that downloader's carried tree holds for each of urls, in
/// URL order; nullopt for a URL without one.
std::vector<std::optional<download::CarriedFile>> carriedCrls(
    const download::Downloader& downloader, const std::vector<std::string>& urls, std::time_t now);

}  // namespace signature
