#include "platform/url/UrlDownload.h"

#include <curl/curl.h>
#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>

#include "platform/files/FileSystem.h"
#include "platform/url/DestinationFile.h"
#include "platform/url/GzipDecoder.h"
#include "platform/url/HttpUrl.h"
#include "platform/url/ProxyResolver.h"
#include "platform/url/TransferPolicy.h"

namespace platform {
namespace {

// More hops than any sound server needs; a loop ends here instead of never.
constexpr int kMaxRedirects = 16;
// Large reads keep a fast local transfer from being bound by callbacks, system calls and
// the hand-over between the sender's core and ours: a 1 GiB transfer on a local network
// takes 0.7 s with reads of 1 MiB against 0.9 s with 256 KiB.
constexpr long kReceiveBufferBytes = 1024 * 1024;
// libcurl hands the body over 16 KiB at a time. Written as it comes, that is a system call
// per 16 KiB and a page cache of small pieces, each one looked up again when the file is
// read back and freed again when it is removed. Blocks of this size cost a copy in memory
// and save more than twice that; much larger ones make the system's writes slower again.
constexpr std::size_t kWriteBlockBytes = 256 * 1024;

struct EasyCleanup {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiCleanup {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct SlistFree {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyPtr = std::unique_ptr<CURL, EasyCleanup>;
using MultiPtr = std::unique_ptr<CURLM, MultiCleanup>;
using SlistPtr = std::unique_ptr<curl_slist, SlistFree>;

/// The last path component of url, decoded and made safe to use as a file name.
std::string suggestedFilename(const std::string& url) {
  std::string name;
  if (const auto parsed = parseHttpUrl(url)) {
    // Segments are decoded one by one, so an encoded "/" belongs to the name; empty ones
    // ("a//", a trailing "/") name nothing.
    const auto& segments = parsed->pathSegments;
    const auto last = std::find_if(segments.rbegin(), segments.rend(),
                                   [](const std::string& segment) { return !segment.empty(); });
    if (last != segments.rend()) name = *last;
  }
  // A decoded "/" or NUL must not turn the name into a path or cut it short.
  std::replace(name.begin(), name.end(), '/', '_');
  std::replace(name.begin(), name.end(), '\0', '_');
  if (name.empty() || name == "." || name == "..") name = "download";
  return name;
}

/// Content-Type without its parameters and surrounding blanks; its letter case is kept.
std::string mimeTypeOf(const char* contentType) {
  if (contentType == nullptr) return {};
  std::string type(contentType);
  type = type.substr(0, type.find(';'));
  const char* blanks = " \t";
  std::size_t start = type.find_first_not_of(blanks);
  if (start == std::string::npos) return {};
  return type.substr(start, type.find_last_not_of(blanks) - start + 1);
}

long errorCodeFor(CURLcode result) {
  switch (result) {
    case CURLE_OPERATION_TIMEDOUT:
      return kUrlErrorTimedOut;
    case CURLE_URL_MALFORMAT:
      return kUrlErrorBadURL;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return kUrlErrorUnsupportedURL;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return kUrlErrorCannotFindHost;
    case CURLE_COULDNT_CONNECT:
      return kUrlErrorCannotConnectToHost;
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return kUrlErrorNetworkConnectionLost;
    case CURLE_TOO_MANY_REDIRECTS:
      return kUrlErrorHTTPTooManyRedirects;
    case CURLE_FILESIZE_EXCEEDED:
      return kUrlErrorDataLengthExceedsMaximum;
    case CURLE_WRITE_ERROR:
      return kUrlErrorCannotWriteToFile;
    case CURLE_ABORTED_BY_CALLBACK:
      return kUrlErrorCancelled;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
      return kUrlErrorSecureConnectionFailed;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
      return kUrlErrorBadServerResponse;
    default:
      return kUrlErrorUnknown;
  }
}

// The request headers of every attempt: the no-cache lines, made once per transfer, and
// for an attempt that resumes, its If-Range line linked after them for that attempt only.
class RequestHeaders {
 public:
  RequestHeaders() = default;
  ~RequestHeaders() { unlinkIfRange(); }
  RequestHeaders(const RequestHeaders&) = delete;
  RequestHeaders& operator=(const RequestHeaders&) = delete;

  /// Makes the no-cache lines; false when they cannot be allocated.
  bool make() {
    noCache_.reset(curl_slist_append(nullptr, "Cache-Control: no-cache"));
    if (!noCache_ || !curl_slist_append(noCache_.get(), "Pragma: no-cache")) return false;
    last_ = noCache_->next;
    return true;
  }
  /// The list for the next attempt, with "If-Range: validator" at its end unless validator
  /// is empty; nullptr when it cannot be allocated. The list stays valid until the next call.
  curl_slist* forAttempt(const std::string& validator) {
    unlinkIfRange();
    if (validator.empty()) return noCache_.get();
    ifRange_.reset(curl_slist_append(nullptr, ("If-Range: " + validator).c_str()));
    if (!ifRange_) return nullptr;
    last_->next = ifRange_.get();
    return noCache_.get();
  }

 private:
  // Each list is freed on its own: the no-cache list must not reach the If-Range line then.
  void unlinkIfRange() {
    if (last_ != nullptr) last_->next = nullptr;
    ifRange_.reset();
  }

  SlistPtr noCache_;
  curl_slist* last_ = nullptr;  ///< the no-cache list's last line
  SlistPtr ifRange_;
};

// What the answer to the current request has shown; a redirect's next hop starts anew.
struct Response {
  bool seen = false;         ///< its status and headers were acted on
  bool discardBody = false;  ///< a redirect's body: not the resource
};

// One attempt: its first request, the redirects it follows and the answer that ends it.
// Every attempt starts from a fresh one.
struct Attempt {
  Attempt(const UrlDownloadOptions& options, std::int64_t now, std::int64_t from)
      : speed(options.speedWindowSeconds, options.minimumBytesPerSecond), resumeFrom(from) {
    clock.attemptStart = now;
    speed.restart(now);
  }

  AttemptClock clock;              ///< monotonic microseconds
  std::int64_t bytesReceived = 0;  ///< on the wire, headers included
  SpeedWindow speed;
  std::int64_t resumeFrom = 0;  ///< the Range asked for; 0 when the whole entity is asked
  bool retryStatus = false;     ///< the failure is an answer that asks to try again
  std::int64_t retryAfter = 0;  ///< seconds the server asked to wait; 0 when it did not say
  int redirects = 0;
  std::optional<UrlError> pendingError;  ///< the first failure, reported when libcurl is done
  Response response;
};

}  // namespace

struct UrlDownload::Impl {
  Impl(UrlDownloadDelegate& d, const UrlDownloadOptions& o) : delegate(d), options(o) {}
  ~Impl();

  bool configure(const std::string& url);
  bool startAttempt();
  void stop();
  void cancel();

  // libcurl asks for its sockets and its timer to be watched on the run loop.
  static int onSocket(CURL*, curl_socket_t fd, int what, void* self, void*);
  static int onTimer(CURLM*, long timeoutMs, void* self);
  static gboolean onSocketReady(gint fd, GIOCondition condition, gpointer self);
  static gboolean onTimeout(gpointer self);
  static size_t onWrite(char* data, size_t size, size_t count, void* self);
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static gboolean onWatchdog(gpointer self);
  static gboolean onRetryWait(gpointer self);

  void watchSocket(curl_socket_t fd, int what);
  void drive(curl_socket_t fd, int events);
  void checkDone();
  void onDone(CURLcode result);
  void endAttempt();
  bool shouldRetry() const;
  void scheduleRetry();
  bool followRedirect();
  bool sendRequest(const std::string& target);
  void onProxyChosen(const ProxyChoice& choice);
  bool attach();
  void newRequest();
  bool beginResponse();
  bool refuseStatus(long status);
  bool continueOrRestart(long status);
  bool restartFile(const UrlResponse& response);
  bool chooseContentCoding();
  bool decodeInto(GzipDecoder& decoder, const char* data, std::size_t length,
                  const GzipDecoder::Sink& sink);
  bool writeEntity(const char* data, std::size_t length);
  std::string headerValue(const char* name) const;
  bool attemptTooSlow(std::int64_t now);
  bool store(const char* data, std::size_t length);
  bool writeDecoded(const char* data, std::size_t length);
  UrlResponse currentResponse() const;
  std::string currentUrl() const;
  void fail(long code) { fail(makeUrlError(code, currentUrl())); }
  void fail(UrlError error);
  void report();
  bool interrupted() const { return cancelled || attempt.pendingError.has_value(); }

  UrlDownload* owner = nullptr;
  UrlDownloadDelegate& delegate;
  UrlDownloadOptions options;
  std::string url;  ///< the URL asked for; every attempt starts here
  std::map<curl_socket_t, guint> watches;
  guint timer = 0;
  guint watchdog = 0;
  guint retryWait = 0;
  int insideCurl = 0;
  bool attached = false;
  bool stopped = false;
  bool cancelled = false;
  int retries = 0;  ///< attempts made after the first
  RetrySchedule retrySchedule{options.retryWaitsSeconds, options.maxRetryAfterSeconds,
                              options.uniformRandom};
  bool restartFromZero = false;  ///< the next attempt must not ask for a range
  Attempt attempt{options, 0, 0};

  // Per transfer: the file and what identifies the entity stored in it.
  std::string destination;
  bool allowOverwrite = false;
  std::unique_ptr<DestinationFile> file;
  bool decode = false;
  std::unique_ptr<GzipDecoder> decoder;         ///< the entity's gzip, when the delegate asks
  std::unique_ptr<GzipDecoder> contentDecoder;  ///< the response's Content-Encoding: gzip
  std::int64_t bytesWritten = 0;
  std::string validator;  ///< the stored entity's If-Range value; empty: cannot resume

  std::unique_ptr<ProxyLookup> proxyLookup;  ///< the desktop's proxy for the next request
  RequestHeaders headers;
  EasyPtr easy;
  MultiPtr multi;
};

UrlDownload::Impl::~Impl() {
  stop();
  // The transfer is already out of the multi handle; cleaning up the multi handle closes
  // cached connections, which reaches onSocket while every other member is still alive.
  easy.reset();
  multi.reset();
}

bool UrlDownload::Impl::configure(const std::string& address) {
  url = address;
  easy.reset(curl_easy_init());
  multi.reset(curl_multi_init());
  if (!easy || !multi) return false;
  if (!headers.make()) return false;

  const long timeoutMs = std::lround(options.timeoutSeconds * 1000.0);
  CURL* e = easy.get();
  bool ok = curl_easy_setopt(e, CURLOPT_URL, url.c_str()) == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
            curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https") == CURLE_OK;
  if (!ok) return false;
  curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT_MS, timeoutMs);
  curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Impl::onHeader);
  curl_easy_setopt(e, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(e, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(options.maxBytes));
  curl_easy_setopt(e, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
  curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Impl::onWrite);
  curl_easy_setopt(e, CURLOPT_WRITEDATA, this);
  // Redirects are followed here rather than inside libcurl, so that the delegate hears
  // of each one and every hop is checked against the allowed schemes.
  curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 0L);

  CURLM* m = multi.get();
  curl_multi_setopt(m, CURLMOPT_SOCKETFUNCTION, &Impl::onSocket);
  curl_multi_setopt(m, CURLMOPT_SOCKETDATA, this);
  curl_multi_setopt(m, CURLMOPT_TIMERFUNCTION, &Impl::onTimer);
  curl_multi_setopt(m, CURLMOPT_TIMERDATA, this);
  if (!startAttempt()) return false;
  // The time rules are checked here rather than by libcurl: its low-speed check averages
  // over a few seconds only, and it has no limit on how long the headers may take.
  double shortest =
      std::min({options.timeoutSeconds, options.speedWindowSeconds, options.headerDeadlineSeconds});
  if (options.attemptLimitSeconds > 0) shortest = std::min(shortest, options.attemptLimitSeconds);
  const guint checkMs = static_cast<guint>(std::clamp(std::lround(shortest * 250.0), 10L, 1000L));
  watchdog = g_timeout_add_full(G_PRIORITY_DEFAULT, checkMs, &Impl::onWatchdog, this, nullptr);
  return true;
}

// Sends the request of one attempt: the whole entity, or the rest of it when the file
// already holds a known entity's first bytes.
bool UrlDownload::Impl::startAttempt() {
  CURL* e = easy.get();
  const bool resume =
      bytesWritten > 0 && !validator.empty() && !decode && !contentDecoder && !restartFromZero;
  restartFromZero = false;
  attempt = Attempt(options, options.monotonicClock(), resume ? bytesWritten : 0);
  curl_easy_setopt(e, CURLOPT_URL, url.c_str());
  curl_slist* requestHeaders = headers.forAttempt(resume ? validator : std::string());
  if (requestHeaders == nullptr) return false;
  curl_easy_setopt(e, CURLOPT_HTTPHEADER, requestHeaders);
  const std::string range = std::to_string(attempt.resumeFrom) + "-";
  curl_easy_setopt(e, CURLOPT_RANGE, resume ? range.c_str() : nullptr);
  // A retry never reuses the connection that just failed it.
  curl_easy_setopt(e, CURLOPT_FRESH_CONNECT, retries > 0 ? 1L : 0L);
  return sendRequest(url);
}

// Sends the request for target, through the proxy that the desktop's settings give for
// that very URL, redirects included. A proxy named in the environment is libcurl's
// business, as it always was.
bool UrlDownload::Impl::sendRequest(const std::string& target) {
  // The request counts as sent from here: the header deadline covers a slow resolver.
  newRequest();
  if (proxyEnvironmentSet()) return attach();
  proxyLookup =
      std::make_unique<ProxyLookup>(target, [this](const ProxyChoice& c) { onProxyChosen(c); });
  return true;
}

void UrlDownload::Impl::onProxyChosen(const ProxyChoice& choice) {
  proxyLookup.reset();
  if (!choice.notice.empty()) delegate.proxyNotUsed(*owner, choice.notice);
  if (cancelled) return;
  curl_easy_setopt(easy.get(), CURLOPT_PROXY, choice.proxy.c_str());
  if (attach()) return;
  fail(kUrlErrorUnknown);
  report();  // may destroy the transfer
}

bool UrlDownload::Impl::attach() {
  if (curl_multi_add_handle(multi.get(), easy.get()) != CURLM_OK) return false;
  attached = true;
  return true;
}

// The clocks of a request that is about to be sent (an attempt or a redirect's next hop).
void UrlDownload::Impl::newRequest() {
  attempt.clock.requestStart = attempt.clock.lastActivity = options.monotonicClock();
  attempt.clock.headersComplete = false;
}

gboolean UrlDownload::Impl::onWatchdog(gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  // Not inside a loop nested in a libcurl callback, and not while waiting to retry; a
  // request that waits for its proxy is held to the header deadline.
  if (impl->insideCurl > 0 || (!impl->attached && !impl->proxyLookup)) return G_SOURCE_CONTINUE;
  const UrlDownloadOptions& o = impl->options;
  const std::int64_t now = o.monotonicClock();
  const AttemptTimeLimits limits{o.timeoutSeconds, o.headerDeadlineSeconds, o.attemptLimitSeconds};
  if (!attemptOutOfTime(impl->attempt.clock, limits, now) && !impl->attemptTooSlow(now)) {
    return G_SOURCE_CONTINUE;
  }
  impl->fail(kUrlErrorTimedOut);
  // Ending the transfer removes this source; GLib then ignores the value returned.
  impl->endAttempt();  // may destroy the transfer
  return G_SOURCE_CONTINUE;
}

bool UrlDownload::Impl::attemptTooSlow(std::int64_t now) {
  attempt.speed.sample(now, attempt.bytesReceived);
  return attempt.speed.tooSlow();
}

size_t UrlDownload::Impl::onHeader(char* data, size_t size, size_t count, void* self) {
  auto* impl = static_cast<Impl*>(self);
  const std::size_t length = size * count;
  impl->attempt.clock.lastActivity = impl->options.monotonicClock();
  impl->attempt.bytesReceived += static_cast<std::int64_t>(length);
  // The empty line ends a header block; an interim answer (100 Continue) has more to come.
  const bool blank =
      (length == 2 && data[0] == '\r' && data[1] == '\n') || (length == 1 && data[0] == '\n');
  if (blank) {
    long status = 0;
    curl_easy_getinfo(impl->easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (status >= 200) impl->attempt.clock.headersComplete = true;
  }
  return length;
}

void UrlDownload::Impl::stop() {
  if (stopped) return;
  if (attached) curl_multi_remove_handle(multi.get(), easy.get());
  attached = false;
  stopped = true;
  for (auto& [fd, source] : watches) g_source_remove(source);
  watches.clear();
  if (timer != 0) g_source_remove(timer);
  timer = 0;
  if (watchdog != 0) g_source_remove(watchdog);
  watchdog = 0;
  if (retryWait != 0) g_source_remove(retryWait);
  retryWait = 0;
  proxyLookup.reset();
  decoder.reset();
  contentDecoder.reset();
  if (file) file->close();
  file.reset();
}

void UrlDownload::Impl::cancel() {
  cancelled = true;
  // Inside a libcurl callback the handle cannot leave the multi handle; the callback
  // refuses the data instead and drive() stops the transfer once libcurl has returned.
  if (insideCurl == 0) stop();
}

gboolean UrlDownload::Impl::onRetryWait(gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  impl->retryWait = 0;
  if (!impl->startAttempt()) {
    impl->fail(kUrlErrorUnknown);
    impl->report();  // may destroy the transfer
  }
  return G_SOURCE_REMOVE;
}

int UrlDownload::Impl::onSocket(CURL*, curl_socket_t fd, int what, void* self, void*) {
  auto* impl = static_cast<Impl*>(self);
  if (!impl->stopped) impl->watchSocket(fd, what);
  return 0;
}

void UrlDownload::Impl::watchSocket(curl_socket_t fd, int what) {
  if (auto it = watches.find(fd); it != watches.end()) {
    g_source_remove(it->second);
    watches.erase(it);
  }
  if (what == CURL_POLL_REMOVE) return;
  int condition = G_IO_HUP | G_IO_ERR;
  if (what & CURL_POLL_IN) condition |= G_IO_IN;
  if (what & CURL_POLL_OUT) condition |= G_IO_OUT;
  watches[fd] = g_unix_fd_add_full(G_PRIORITY_DEFAULT, fd, static_cast<GIOCondition>(condition),
                                   &Impl::onSocketReady, this, nullptr);
}

int UrlDownload::Impl::onTimer(CURLM*, long timeoutMs, void* self) {
  auto* impl = static_cast<Impl*>(self);
  if (impl->timer != 0) g_source_remove(impl->timer);
  impl->timer = 0;
  if (impl->stopped || timeoutMs < 0) return 0;
  impl->timer = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(timeoutMs),
                                   &Impl::onTimeout, impl, nullptr);
  return 0;
}

gboolean UrlDownload::Impl::onSocketReady(gint fd, GIOCondition condition, gpointer self) {
  int events = 0;
  // A hang-up is read as readable so that libcurl sees the end of the stream itself.
  if (condition & (G_IO_IN | G_IO_HUP)) events |= CURL_CSELECT_IN;
  if (condition & G_IO_OUT) events |= CURL_CSELECT_OUT;
  if (condition & G_IO_ERR) events |= CURL_CSELECT_ERR;
  // drive() may end with the delegate destroying this transfer: nothing here touches the
  // Impl afterwards. GLib ignores the return value of a source removed meanwhile.
  static_cast<Impl*>(self)->drive(fd, events);
  return G_SOURCE_CONTINUE;
}

gboolean UrlDownload::Impl::onTimeout(gpointer self) {
  auto* impl = static_cast<Impl*>(self);
  // libcurl cannot be re-entered from a loop nested in one of its callbacks: try again.
  if (impl->insideCurl > 0) return G_SOURCE_CONTINUE;
  impl->timer = 0;  // this source ends here; libcurl may arm a new one inside drive()
  impl->drive(CURL_SOCKET_TIMEOUT, 0);
  return G_SOURCE_REMOVE;
}

void UrlDownload::Impl::drive(curl_socket_t fd, int events) {
  if (stopped || insideCurl > 0) return;
  int running = 0;
  ++insideCurl;
  curl_multi_socket_action(multi.get(), fd, events, &running);
  --insideCurl;
  if (cancelled) return stop();
  checkDone();
}

void UrlDownload::Impl::checkDone() {
  int left = 0;
  while (CURLMsg* message = curl_multi_info_read(multi.get(), &left)) {
    if (message->msg == CURLMSG_DONE && message->easy_handle == easy.get()) {
      onDone(message->data.result);
      return;  // the delegate may have destroyed this transfer
    }
  }
}

size_t UrlDownload::Impl::onWrite(char* data, size_t size, size_t count, void* self) {
  auto* impl = static_cast<Impl*>(self);
  const std::size_t length = size * count;
  impl->attempt.clock.lastActivity = impl->options.monotonicClock();
  impl->attempt.bytesReceived += static_cast<std::int64_t>(length);
  if (impl->interrupted()) return 0;
  if (!impl->attempt.response.seen && !impl->beginResponse()) return 0;
  if (impl->attempt.response.discardBody) return length;
  return impl->store(data, length) ? length : 0;
}

std::string UrlDownload::Impl::currentUrl() const {
  char* effective = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_EFFECTIVE_URL, &effective);
  return effective != nullptr ? effective : "";
}

UrlResponse UrlDownload::Impl::currentResponse() const {
  UrlResponse response;
  response.url = currentUrl();
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &response.statusCode);
  curl_off_t length = -1;
  curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  response.expectedContentLength = length >= 0 ? static_cast<std::int64_t>(length) : -1;
  char* type = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_CONTENT_TYPE, &type);
  response.mimeType = mimeTypeOf(type);
  response.suggestedFilename = suggestedFilename(response.url);
  return response;
}

// Runs at the first body byte of a response, or at its end when it had no body: the
// status, headers and final URL are known by then.
bool UrlDownload::Impl::beginResponse() {
  attempt.response.seen = true;
  long status = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
  // libcurl works out the redirect's target only once the transfer is over; here the
  // Location header is enough to know that this body is not the resource.
  curl_header* location = nullptr;
  if (status >= 300 && status < 400 &&
      curl_easy_header(easy.get(), "Location", 0, CURLH_HEADER, -1, &location) == CURLHE_OK) {
    attempt.response.discardBody = true;
    return true;
  }
  if (attempt.resumeFrom > 0) return continueOrRestart(status);
  // Only a success response has a body worth a file.
  if (status < 200 || status >= 300) return refuseStatus(status);
  const UrlResponse response = currentResponse();
  if (file) return restartFile(response);
  if (!chooseContentCoding()) return false;
  delegate.didReceiveResponse(*owner, response);
  if (interrupted()) return false;
  decode = delegate.shouldDecodeSourceDataOfMIMEType(*owner, response.mimeType);
  if (interrupted()) return false;
  delegate.decideDestinationWithSuggestedFilename(*owner, response.suggestedFilename);
  if (interrupted()) return false;
  file = options.privateDestination >= 0
             ? DestinationFile::into(options.privateDestination, destination, kWriteBlockBytes)
             : DestinationFile::create(destination, allowOverwrite, kWriteBlockBytes);
  if (!file) {
    fail(kUrlErrorCannotCreateFile);
    return false;
  }
  if (decode) decoder = std::make_unique<GzipDecoder>();
  validator = ifRangeValidator(headerValue("ETag"), headerValue("Last-Modified"));
  delegate.didCreateDestination(*owner, file->path());
  return !interrupted();
}

// Fails the attempt for an answer that carries no body for the file. Only "try again
// later" answers leave room for another attempt.
bool UrlDownload::Impl::refuseStatus(long status) {
  if (isRetryableStatus(status)) {
    attempt.retryStatus = true;
    curl_off_t seconds = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_RETRY_AFTER, &seconds);
    attempt.retryAfter = static_cast<std::int64_t>(seconds);
  }
  fail(status == 404 || status == 410 ? kUrlErrorFileDoesNotExist : kUrlErrorBadServerResponse);
  return false;
}

// The answer to a request for the rest of the entity: the rest itself is appended, the
// whole entity replaces what the file holds, and anything else costs an attempt that then
// asks for the whole entity.
bool UrlDownload::Impl::continueOrRestart(long status) {
  if (status == 206 && contentRangeStart(headerValue("Content-Range")) == attempt.resumeFrom)
    return true;
  if (status == 200) return restartFile(currentResponse());
  if (status == 206 || status == 416) {
    restartFromZero = true;
    attempt.retryStatus = true;
    fail(kUrlErrorBadServerResponse);
    return false;
  }
  return refuseStatus(status);
}

// A later attempt's whole entity: same destination, emptied, and a new response for the
// delegate, which starts its count again.
bool UrlDownload::Impl::restartFile(const UrlResponse& response) {
  if (!chooseContentCoding()) return false;
  if (!file->rewind()) {
    fail(kUrlErrorCannotWriteToFile);
    return false;
  }
  bytesWritten = 0;
  if (decode) decoder = std::make_unique<GzipDecoder>();
  validator = ifRangeValidator(headerValue("ETag"), headerValue("Last-Modified"));
  delegate.didReceiveResponse(*owner, response);
  return !interrupted();
}

// Some servers send a stored gzip file to every client, asked or not (nginx's
// "gzip_static always", object stores with a Content-Encoding set): with its one layer
// removed, the body is the entity. A coding that cannot be removed here fails the
// transfer rather than leave encoded bytes for the file.
bool UrlDownload::Impl::chooseContentCoding() {
  switch (contentCodingOf(headerValue("Content-Encoding"))) {
    case ContentCoding::kIdentity:
      contentDecoder.reset();
      return true;
    case ContentCoding::kGzip:
      contentDecoder = std::make_unique<GzipDecoder>();
      return true;
    case ContentCoding::kUnsupported:
      break;
  }
  fail(kUrlErrorCannotDecodeContentData);
  return false;
}

std::string UrlDownload::Impl::headerValue(const char* name) const {
  curl_header* header = nullptr;
  if (curl_easy_header(easy.get(), name, 0, CURLH_HEADER, -1, &header) != CURLHE_OK) return {};
  return header->value != nullptr ? header->value : "";
}

// The body on the wire: its content coding removed, then the entity decoded as the
// delegate asked.
bool UrlDownload::Impl::store(const char* data, std::size_t length) {
  const bool stored = contentDecoder ? decodeInto(*contentDecoder, data, length,
                                                  [this](const char* piece, std::size_t size) {
                                                    return writeEntity(piece, size);
                                                  })
                                     : writeEntity(data, length);
  if (!stored) return false;
  delegate.didReceiveDataOfLength(*owner, static_cast<std::uint32_t>(length));
  return !interrupted();
}

bool UrlDownload::Impl::writeEntity(const char* data, std::size_t length) {
  if (!decoder) return writeDecoded(data, length);
  return decodeInto(*decoder, data, length, [this](const char* piece, std::size_t size) {
    return writeDecoded(piece, size);
  });
}

bool UrlDownload::Impl::decodeInto(GzipDecoder& gzip, const char* data, std::size_t length,
                                   const GzipDecoder::Sink& sink) {
  const auto status = gzip.feed(data, length, sink);
  if (status == GzipDecoder::Status::kCorrupt) fail(kUrlErrorCannotDecodeContentData);
  return status == GzipDecoder::Status::kOk;
}

bool UrlDownload::Impl::writeDecoded(const char* data, std::size_t length) {
  // Counted after decoding, so a small compressed body cannot expand past the cap.
  if (bytesWritten + static_cast<std::int64_t>(length) > options.maxBytes) {
    fail(kUrlErrorDataLengthExceedsMaximum);
    return false;
  }
  if (!file->write(data, length)) {
    fail(kUrlErrorCannotWriteToFile);
    return false;
  }
  bytesWritten += static_cast<std::int64_t>(length);
  return true;
}

// The end of a transfer as libcurl sees it: the last checks before report().
void UrlDownload::Impl::onDone(CURLcode result) {
  if (!attempt.pendingError && result != CURLE_OK) fail(errorCodeFor(result));
  if (!interrupted() && !attempt.response.seen) beginResponse();
  if (!interrupted() && attempt.response.discardBody && followRedirect()) return;
  // A gzip body that stops before its trailer is a truncated download, not a file.
  const bool cutShort =
      (decoder && !decoder->finished()) || (contentDecoder && !contentDecoder->finished());
  if (!interrupted() && cutShort) fail(kUrlErrorCannotDecodeContentData);
  endAttempt();
}

// An attempt is over: try again when the failure allows it, else report the end.
void UrlDownload::Impl::endAttempt() {
  // The bytes that wait in the file's block arrived before whatever ended the attempt, and
  // a retry resumes after them: a failure to write them ends the transfer as a write error.
  if (file && !cancelled && !file->flush()) {
    attempt.pendingError = makeUrlError(kUrlErrorCannotWriteToFile, currentUrl());
    attempt.retryStatus = false;
  }
  if (shouldRetry()) return scheduleRetry();
  if (!interrupted() && (!file || !file->close())) fail(kUrlErrorCannotWriteToFile);
  report();
}

bool UrlDownload::Impl::shouldRetry() const {
  if (cancelled || !attempt.pendingError) return false;
  if (retries >= retrySchedule.maxRetries()) return false;
  return attempt.retryStatus || isRetryableError(attempt.pendingError->code);
}

void UrlDownload::Impl::scheduleRetry() {
  if (attached) curl_multi_remove_handle(multi.get(), easy.get());
  attached = false;
  proxyLookup.reset();
  ++retries;
  const double wait = retrySchedule.waitBefore(retries, attempt.retryAfter);
  delegate.willRetry(*owner, bytesWritten, retries, retrySchedule.maxRetries());
  if (cancelled) return;
  retryWait = g_timeout_add_full(G_PRIORITY_DEFAULT, static_cast<guint>(std::lround(wait * 1000)),
                                 &Impl::onRetryWait, this, nullptr);
}

// The one place that tells the delegate how the transfer ended. The delegate may destroy
// the transfer inside, so a call of report() is always the last statement of its caller.
void UrlDownload::Impl::report() {
  stop();
  if (cancelled) return;
  if (attempt.pendingError) return delegate.didFailWithError(*owner, *attempt.pendingError);
  delegate.downloadDidFinish(*owner);
}

// Sends the transfer on to the redirect's target; false when it ends here instead.
bool UrlDownload::Impl::followRedirect() {
  char* target = nullptr;
  curl_easy_getinfo(easy.get(), CURLINFO_REDIRECT_URL, &target);
  const std::string newUrl = target != nullptr ? target : "";
  if (++attempt.redirects > kMaxRedirects) {
    fail(kUrlErrorHTTPTooManyRedirects);
    return false;
  }
  if (!parseHttpUrl(newUrl)) {
    fail(makeUrlError(kUrlErrorUnsupportedURL, newUrl));
    return false;
  }
  const UrlResponse redirectResponse = currentResponse();
  delegate.willSendRequest(*owner, newUrl, &redirectResponse);
  if (interrupted()) return false;
  curl_multi_remove_handle(multi.get(), easy.get());
  attached = false;
  attempt.response = {};
  curl_easy_setopt(easy.get(), CURLOPT_URL, newUrl.c_str());
  if (sendRequest(newUrl)) return true;
  fail(makeUrlError(kUrlErrorUnknown, newUrl));
  return false;
}

void UrlDownload::Impl::fail(UrlError error) {
  if (!attempt.pendingError) attempt.pendingError = std::move(error);
}

std::unique_ptr<UrlDownload> UrlDownload::start(const std::string& url,
                                                UrlDownloadDelegate& delegate,
                                                const UrlDownloadOptions& options) {
  if (!parseHttpUrl(url)) return nullptr;
  auto impl = std::make_unique<Impl>(delegate, options);
  if (!impl->configure(url)) return nullptr;
  Impl* raw = impl.get();
  std::unique_ptr<UrlDownload> download(new UrlDownload(std::move(impl)));
  raw->owner = download.get();
  return download;
}

UrlDownload::UrlDownload(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

UrlDownload::~UrlDownload() = default;

void UrlDownload::setDestination(const std::string& path, bool allowOverwrite) {
  impl_->destination = path;
  impl_->allowOverwrite = allowOverwrite;
}

void UrlDownload::cancel() {
  impl_->cancel();
}

}  // namespace platform
