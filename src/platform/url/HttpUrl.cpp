#include "platform/url/HttpUrl.h"

#include <curl/curl.h>

#include <cctype>
#include <memory>

namespace platform {
namespace {

struct UrlCleanup {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct CurlFree {
  void operator()(char* text) const { curl_free(text); }
};
using UrlPtr = std::unique_ptr<CURLU, UrlCleanup>;
using CurlText = std::unique_ptr<char, CurlFree>;

/// The part, or nullopt when the URL has none (or it cannot be read).
std::optional<std::string> part(CURLU* url, CURLUPart which) {
  char* raw = nullptr;
  if (curl_url_get(url, which, &raw, 0) != CURLUE_OK || raw == nullptr) return std::nullopt;
  CurlText text(raw);
  return std::string(text.get());
}

std::optional<std::string> decoded(const std::string& segment) {
  int length = 0;
  CurlText text(
      curl_easy_unescape(nullptr, segment.c_str(), static_cast<int>(segment.size()), &length));
  if (!text) return std::nullopt;
  return std::string(text.get(), static_cast<std::size_t>(length));
}

}  // namespace

std::optional<HttpUrl> parseHttpUrl(const std::string& text) {
  UrlPtr url(curl_url());
  if (!url || text.find('\0') != std::string::npos) return std::nullopt;
  if (curl_url_set(url.get(), CURLUPART_URL, text.c_str(), 0) != CURLUE_OK) return std::nullopt;
  HttpUrl result;
  auto scheme = part(url.get(), CURLUPART_SCHEME);
  auto host = part(url.get(), CURLUPART_HOST);
  if (scheme) {
    for (char& c : *scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (!scheme || !host || host->empty() || (*scheme != "http" && *scheme != "https")) {
    return std::nullopt;
  }
  result.scheme = std::move(*scheme);
  result.host = std::move(*host);
  result.port = part(url.get(), CURLUPART_PORT).value_or("");
  result.hasQuery = part(url.get(), CURLUPART_QUERY).has_value();
  result.hasFragment = part(url.get(), CURLUPART_FRAGMENT).has_value();
  std::string path = part(url.get(), CURLUPART_PATH).value_or("/");
  if (!path.empty() && path.front() == '/') path.erase(0, 1);
  if (path.empty()) return result;
  for (std::size_t start = 0;;) {
    const std::size_t slash = path.find('/', start);
    auto segment = decoded(path.substr(start, slash - start));
    if (!segment) return std::nullopt;
    result.pathSegments.push_back(std::move(*segment));
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  return result;
}

}  // namespace platform
