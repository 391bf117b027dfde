#include "platform/url/ProxyResolver.h"

#include <gio/gio.h>

#include <cstdlib>

namespace platform {
namespace {

struct ObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
struct StrvFree {
  void operator()(gchar** strings) const { g_strfreev(strings); }
};
struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};
using CancellablePtr = std::unique_ptr<GCancellable, ObjectUnref>;
using StrvPtr = std::unique_ptr<gchar*, StrvFree>;
using ErrorPtr = std::unique_ptr<GError, ErrorFree>;

constexpr const char* kDirect = "; connecting directly";

// The scheme of an answer, in lower case; the rest may hold credentials.
std::string schemeOf(const std::string& answer) {
  const char* scheme = g_uri_peek_scheme(answer.c_str());
  return scheme != nullptr ? scheme : "";
}

}  // namespace

bool proxyEnvironmentSet() {
  // libcurl reads no upper-case HTTP_PROXY: a CGI program gets one from a request header.
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                           "no_proxy", "NO_PROXY"}) {
    if (std::getenv(name) != nullptr) return true;
  }
  return false;
}

ProxyChoice chooseProxy(const std::vector<std::string>& answers) {
  ProxyChoice choice;
  std::string skipped;
  for (const std::string& answer : answers) {
    const std::string scheme = schemeOf(answer);
    if (scheme == "direct" || scheme == "http" || scheme == "socks5h" || scheme == "socks4a") {
      choice.proxy = scheme == "direct" ? "" : answer;
    } else if (scheme == "socks5") {
      choice.proxy = "socks5h" + answer.substr(scheme.size());
    } else {
      if (!skipped.empty()) skipped += ", ";
      skipped += scheme.empty() ? std::string("(none)") : scheme;
      continue;
    }
    if (!skipped.empty()) choice.notice = "unsupported proxy scheme " + skipped;
    return choice;
  }
  choice.notice =
      (skipped.empty() ? std::string("no proxy answer") : "unsupported proxy scheme " + skipped) +
      kDirect;
  return choice;
}

struct ProxyLookup::Pending {
  CancellablePtr cancellable{g_cancellable_new()};
  ProxyLookup* owner = nullptr;  // null once the lookup is gone

  static void onAnswer(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<Pending> pending(static_cast<Pending*>(data));
    GError* rawError = nullptr;
    StrvPtr answers(g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(source), result, &rawError));
    ErrorPtr error(rawError);
    ProxyLookup* owner = pending->owner;
    if (owner == nullptr) return;
    owner->pending_ = nullptr;
    ProxyChoice choice;
    if (!answers) {
      choice.notice = std::string("the proxy resolver failed: ") +
                      (error ? error->message : "no reason given") + kDirect;
    } else {
      std::vector<std::string> list;
      for (gchar** answer = answers.get(); *answer != nullptr; ++answer) list.emplace_back(*answer);
      choice = chooseProxy(list);
    }
    // Taken out first: done may destroy the lookup that holds it.
    const Done done = std::move(owner->done_);
    done(choice);
  }
};

ProxyLookup::ProxyLookup(const std::string& url, Done done) : done_(std::move(done)) {
  auto pending = std::make_unique<Pending>();
  pending->owner = this;
  pending_ = pending.get();
  GCancellable* cancellable = pending->cancellable.get();
  // GTask answers from the loop, also a resolver that knows at once.
  g_proxy_resolver_lookup_async(g_proxy_resolver_get_default(), url.c_str(), cancellable,
                                &Pending::onAnswer, pending.release());
}

ProxyLookup::~ProxyLookup() {
  if (pending_ == nullptr) return;
  pending_->owner = nullptr;
  g_cancellable_cancel(pending_->cancellable.get());
}

}  // namespace platform
