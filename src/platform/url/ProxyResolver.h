#pragma once
// Where a request goes: straight to its server or through a proxy. The proxy environment
// variables that libcurl reads keep their meaning; without any of them the desktop's proxy
// settings decide, through GIO's proxy resolver, for every URL a transfer requests.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

/// True when a proxy environment variable that libcurl reads is set, even to an empty
/// value: libcurl then chooses the proxy itself. http_proxy counts in lower case only, as
/// libcurl reads it; https_proxy, all_proxy and no_proxy in either case.
bool proxyEnvironmentSet();

/// The proxy of one request.
struct ProxyChoice {
  std::string proxy;   ///< libcurl's proxy URL; empty to connect directly
  std::string notice;  ///< why the desktop's answer was not followed as given; else empty
};

/// The first of answers (GIO's proxy URIs, in the resolver's order) that libcurl can use:
/// "direct://" connects directly; http, socks5h and socks4a proxies are taken as given;
/// socks5 becomes socks5h, since GIO's own clients let a SOCKS 5 proxy resolve the host.
/// Answers skipped before it are named by their scheme in notice; when none is usable
/// the request goes direct and notice says so. Credentials never reach the notice.
ProxyChoice chooseProxy(const std::vector<std::string>& answers);

/// One question to GIO's default proxy resolver, answered on the run loop.
class ProxyLookup {
 public:
  using Done = std::function<void(const ProxyChoice&)>;

  /// Asks for url. done is called once, from the run loop and never inside this call,
  /// unless the lookup is destroyed first; it may destroy the lookup. A failed lookup
  /// answers a direct connection with the resolver's message in notice.
  ProxyLookup(const std::string& url, Done done);
  /// Cancels the question if it is still open; done is not called then.
  ~ProxyLookup();
  ProxyLookup(const ProxyLookup&) = delete;
  ProxyLookup& operator=(const ProxyLookup&) = delete;

  struct Pending;

 private:
  Done done_;
  Pending* pending_ = nullptr;  // owned by the resolver's callback, which frees it
};

}  // namespace platform
