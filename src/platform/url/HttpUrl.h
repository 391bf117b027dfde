#pragma once
// The parts of an http or https URL, parsed by libcurl: for tools that map the URLs the
// program fetches onto files of a static server.

#include <optional>
#include <string>
#include <vector>

namespace platform {

struct HttpUrl {
  std::string scheme;  ///< "http" or "https", lower case
  std::string host;    ///< as written; IPv6 addresses in brackets
  std::string port;    ///< as written; empty when the URL names none
  /// The path split at every "/", each segment percent-decoded on its own, so an encoded
  /// "/" stays inside its segment. A leading "/" gives no empty first segment; "a//b" and a
  /// trailing "/" give empty ones.
  std::vector<std::string> pathSegments;
  bool hasQuery = false;
  bool hasFragment = false;

  /// host, with ":port" when the URL names a port.
  std::string authority() const { return port.empty() ? host : host + ":" + port; }
};

/// The parts of an absolute http or https URL with a host; nullopt for anything else.
std::optional<HttpUrl> parseHttpUrl(const std::string& text);

}  // namespace platform
