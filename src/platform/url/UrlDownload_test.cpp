#include "platform/url/UrlDownload.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "platform/runloop/RunLoop.h"
#include "platform/testing/Gzip.h"
#include "platform/testing/LocalHttpServer.h"

namespace platform {
namespace {

using testing::gzip;

namespace fs = std::filesystem;

// The body the server generates for {"bytes": n}.
std::string pattern(std::size_t count) {
  std::string s(count, '\0');
  for (std::size_t i = 0; i < count; ++i) s[i] = static_cast<char>(((i * 7) + (i / 251)) % 256);
  return s;
}

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Records every callback as a short line and ends the transfer the way a test asks.
class Recorder : public UrlDownloadDelegate {
 public:
  void willSendRequest(UrlDownload&, const std::string& newUrl, const UrlResponse* r) override {
    events.push_back(std::string("redirect ") + newUrl + (r != nullptr ? " after response" : ""));
  }
  void didReceiveResponse(UrlDownload&, const UrlResponse& r) override {
    events.push_back("response");
    response = r;
  }
  bool shouldDecodeSourceDataOfMIMEType(UrlDownload&, const std::string& type) override {
    events.push_back("decode? " + type);
    return decode;
  }
  void decideDestinationWithSuggestedFilename(UrlDownload& d, const std::string& name) override {
    events.push_back("destination " + name);
    d.setDestination(destination.empty() ? directory + "/" + name : destination, allowOverwrite);
  }
  void didCreateDestination(UrlDownload&, const std::string& path) override {
    events.push_back("created");
    createdPath = path;
  }
  void didReceiveDataOfLength(UrlDownload& d, std::uint32_t length) override {
    if (events.back() != "data") events.push_back("data");
    received += length;
    if (onData) onData(d);
  }
  void downloadDidFinish(UrlDownload&) override {
    events.push_back("finish");
    end();
  }
  void didFailWithError(UrlDownload&, const UrlError& e) override {
    events.push_back("fail " + std::to_string(e.code));
    error = e;
    end();
  }
  void willRetry(UrlDownload& d, std::int64_t bytesSoFar, int retry, int maxRetries) override {
    events.push_back("retry " + std::to_string(retry) + " of " + std::to_string(maxRetries));
    retryBytes.push_back(bytesSoFar);
    if (onRetry) onRetry(d);
  }
  int count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }

  std::string at(std::size_t i) const { return i < events.size() ? events[i] : "<none>"; }

  void end() {
    ++ends;
    if (releaseOnEnd) download.reset();  // the owner lets go inside the last callback
  }

  std::string directory;
  std::string destination;
  bool allowOverwrite = false;
  bool decode = false;
  bool releaseOnEnd = true;
  std::function<void(UrlDownload&)> onData;
  std::function<void(UrlDownload&)> onRetry;

  std::unique_ptr<UrlDownload> download;
  std::vector<std::string> events;
  std::optional<UrlResponse> response;
  std::optional<UrlError> error;
  std::string createdPath;
  std::uint64_t received = 0;
  std::vector<std::int64_t> retryBytes;
  int ends = 0;
};

// One attempt only: the cases that look at how a single attempt ends.
UrlDownloadOptions once() {
  UrlDownloadOptions options;
  options.retryWaitsSeconds.clear();
  return options;
}

// Four quick retries.
UrlDownloadOptions quickRetries() {
  UrlDownloadOptions options;
  options.retryWaitsSeconds = {0.05, 0.05, 0.05, 0.05};
  return options;
}

class UrlDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/naib-dl-test-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    rec_.directory = dir_;
  }
  void TearDown() override { fs::remove_all(dir_); }

  /// Starts path (a path on the server, or a whole URL) and turns the loop until it ends.
  bool run(const std::string& path, UrlDownloadOptions options = once()) {
    std::string url = path.rfind("/", 0) == 0 ? server_.url(path) : path;
    rec_.download = UrlDownload::start(url, rec_, options);
    if (!rec_.download) return false;
    return runMainLoopUntil([&] { return rec_.ends > 0; }, 15000);
  }

  testing::LocalHttpServer server_{R"({
    "/small": {"bytes": 10000},
    "/typed": {"bytes": 3000, "type": "Application/Gzip; charset=binary"},
    "/dir/": {"bytes": 10},
    "/hop": {"location": "/small"},
    "/hop2": {"location": "hop"},
    "/loop": {"location": "/loop"},
    "/tofile": {"location": "file:///etc/passwd"},
    "/missing": {"status": 404},
    "/gone": {"status": 410},
    "/broken": {"status": 500},
    "/choices": {"status": 300},
    "/reset": {"bytes": 400000, "fault": "reset", "after": 100000},
    "/stall": {"bytes": 40000, "fault": "stall", "after": 20000},
    "/short": {"bytes": 5000, "fault": "short"},
    "/long": {"bytes": 5000, "fault": "long", "length": 3000},
    "/nolength": {"bytes": 70000, "fault": "nolength"},
    "/endless": {"fault": "endless"},
    "/bomb": {"fault": "gzipbomb", "size": 104857600},
    "/data.gz": {"file": "data.gz", "type": "application/gzip"},
    "/cut.gz": {"file": "cut.gz", "type": "application/gzip", "fault": "nolength"},
    "/junk.gz": {"file": "junk.gz", "type": "application/gzip"},
    "/echo": {"echo": true},
    "/crl/*": {"status": 410},
    "/crl/kept/*": {"bytes": 10},
    "/drop": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1},
    "/blocks": {"bytes": 2621447, "fault": "reset", "at": 0.6, "times": 1},
    "/halves": {"bytes": 400000, "fault": "reset", "at": 0.5},
    "/stalls": {"bytes": 40000, "fault": "stall", "at": 0.5},
    "/norange": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1, "ranges": false},
    "/newtag": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1, "etag": "per-request"},
    "/untagged": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1, "validators": false},
    "/shifted": {"bytes": 400000, "fault": "reset", "at": 0.5, "times": 1, "range_shift": 10},
    "/drop.gz": {"file": "data.gz", "type": "application/gzip", "fault": "reset", "at": 0.5,
                 "times": 1},
    "/coded": {"file": "data.gz", "encoding": "gzip"},
    "/coded.gz": {"file": "twice.gz", "type": "application/gzip", "encoding": "x-gzip"},
    "/brotli": {"file": "data.gz", "encoding": "br"},
    "/drop.coded": {"file": "data.gz", "encoding": "gzip", "fault": "reset", "at": 0.5,
                    "times": 1},
    "/busy": {"bytes": 10000, "status": 503, "retry_after": 1, "times": 2},
    "/busylong": {"bytes": 10000, "status": 503, "retry_after": 3600, "times": 1},
    "/trickle": {"bytes": 100000, "fault": "trickle", "chunk": 10, "interval": 0.1},
    "/slowheaders": {"bytes": 1000, "fault": "slowheaders", "interval": 0.1}
  })"};
  std::string dir_;
  Recorder rec_;
};

TEST_F(UrlDownloadTest, StoresTheBodyAndReportsInContractOrder) {
  ASSERT_TRUE(run("/small"));
  EXPECT_EQ(rec_.events,
            (std::vector<std::string>{"response", "decode? application/octet-stream",
                                      "destination small", "created", "data", "finish"}));
  EXPECT_EQ(rec_.createdPath, dir_ + "/small");
  EXPECT_TRUE(readFile(rec_.createdPath) == pattern(10000));
  EXPECT_EQ(rec_.received, 10000u);
  EXPECT_EQ(rec_.response->statusCode, 200);
  EXPECT_EQ(rec_.response->expectedContentLength, 10000);
  EXPECT_EQ(rec_.response->url, server_.url("/small"));
}

TEST_F(UrlDownloadTest, MimeTypeDropsParametersButKeepsLetterCase) {
  ASSERT_TRUE(run("/typed"));
  EXPECT_EQ(rec_.at(1), "decode? Application/Gzip");
}

TEST_F(UrlDownloadTest, SuggestedNameIsNeverEmptyOrAPath) {
  ASSERT_TRUE(run("/dir/"));
  EXPECT_EQ(rec_.at(2), "destination dir");
  server_.setRoutes(R"({"/a/../../etc/x": {"bytes": 10}, "/": {"bytes": 10}})");
  rec_ = Recorder{};
  rec_.directory = dir_;
  ASSERT_TRUE(run("/a/..%2F..%2Fetc%2Fx"));
  EXPECT_EQ(rec_.at(2), "destination .._.._etc_x");
  EXPECT_EQ(fs::path(rec_.createdPath).parent_path(), fs::path(dir_));
  rec_ = Recorder{};
  rec_.directory = dir_;
  ASSERT_TRUE(run("/"));
  EXPECT_EQ(rec_.at(2), "destination download");
}

TEST_F(UrlDownloadTest, FollowsRedirectsTellingTheDelegateOfEachHop) {
  ASSERT_TRUE(run("/hop2"));
  ASSERT_GE(rec_.events.size(), 3u);
  EXPECT_EQ(rec_.at(0), "redirect " + server_.url("/hop") + " after response");
  EXPECT_EQ(rec_.at(1), "redirect " + server_.url("/small") + " after response");
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_EQ(rec_.response->url, server_.url("/small"));
  EXPECT_TRUE(readFile(rec_.createdPath) == pattern(10000));
}

TEST_F(UrlDownloadTest, RedirectLoopAndRedirectOffTheWebFailWithoutAFile) {
  ASSERT_TRUE(run("/loop"));
  EXPECT_EQ(rec_.error->code, kUrlErrorHTTPTooManyRedirects);
  EXPECT_EQ(rec_.error->domain, kNSURLErrorDomain);
  EXPECT_LE(server_.requests().size(), 20u);

  rec_ = Recorder{};
  rec_.directory = dir_;
  ASSERT_TRUE(run("/tofile"));
  ASSERT_TRUE(rec_.error);
  EXPECT_EQ(rec_.error->code, kUrlErrorUnsupportedURL);
  EXPECT_EQ(rec_.error->failingUrlString, "file:///etc/passwd");
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(UrlDownloadTest, ErrorStatusesFailBeforeAnyResponseOrFile) {
  for (auto [path, code] : {std::pair{"/missing", kUrlErrorFileDoesNotExist},
                            std::pair{"/gone", kUrlErrorFileDoesNotExist},
                            std::pair{"/crl/any/where.crl", kUrlErrorFileDoesNotExist},
                            std::pair{"/choices", kUrlErrorBadServerResponse},
                            std::pair{"/broken", kUrlErrorBadServerResponse}}) {
    rec_ = Recorder{};
    rec_.directory = dir_;
    ASSERT_TRUE(run(path)) << path;
    EXPECT_EQ(rec_.events, std::vector<std::string>{"fail " + std::to_string(code)}) << path;
    EXPECT_EQ(rec_.error->failingUrlString, server_.url(path));
  }
  EXPECT_EQ(rec_.error->localizedDescription, "The server returned a bad response.");
  EXPECT_TRUE(fs::is_empty(dir_));
}

TEST_F(UrlDownloadTest, RequestAsksPastCachesAndForNoEncoding) {
  ASSERT_TRUE(run("/echo"));
  const std::string headers = readFile(rec_.createdPath);
  EXPECT_NE(headers.find("Cache-Control: no-cache"), std::string::npos) << headers;
  EXPECT_NE(headers.find("Pragma: no-cache"), std::string::npos);
  EXPECT_EQ(headers.find("Accept-Encoding"), std::string::npos);
}

TEST_F(UrlDownloadTest, LongestPrefixRouteOfTheServerWins) {
  ASSERT_TRUE(run("/crl/kept/a.crl"));
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_EQ(rec_.received, 10u);
}

TEST_F(UrlDownloadTest, NotFoundCarriesTheUsualSentence) {
  ASSERT_TRUE(run("/missing"));
  EXPECT_EQ(rec_.error->localizedDescription, "The requested URL was not found on this server.");
}

TEST_F(UrlDownloadTest, LostConnectionsFailAfterTheFileWasCreated) {
  for (const char* path : {"/reset", "/short"}) {
    rec_ = Recorder{};
    rec_.directory = dir_;
    ASSERT_TRUE(run(path)) << path;
    ASSERT_TRUE(rec_.error) << path;
    EXPECT_EQ(rec_.error->code, kUrlErrorNetworkConnectionLost) << path;
    EXPECT_TRUE(fs::exists(rec_.createdPath)) << path;  // partial, left for the owner
  }
}

TEST_F(UrlDownloadTest, BodyLongerThanAnnouncedKeepsOnlyTheAnnouncedBytes) {
  ASSERT_TRUE(run("/long"));
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_TRUE(readFile(rec_.createdPath) == pattern(3000));
}

TEST_F(UrlDownloadTest, BodyWithoutLengthRunsToTheEndOfTheConnection) {
  ASSERT_TRUE(run("/nolength"));
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_EQ(rec_.response->expectedContentLength, -1);
  EXPECT_TRUE(readFile(rec_.createdPath) == pattern(70000));
}

TEST_F(UrlDownloadTest, StalledTransferTimesOut) {
  UrlDownloadOptions options = once();
  options.timeoutSeconds = 1;
  ASSERT_TRUE(run("/stall", options));
  ASSERT_TRUE(rec_.error);
  EXPECT_EQ(rec_.error->code, kUrlErrorTimedOut);
  EXPECT_EQ(rec_.error->localizedDescription, "The request timed out.");

  // The wait is judged by the transfer's clock: one that stands where the system's stands
  // while data comes, then jumps an hour, ends the default 30 s wait at the first look.
  const std::int64_t start = systemMonotonicMicros();
  bool stalled = false;
  UrlDownloadOptions jumping = once();
  jumping.monotonicClock = [&] { return start + (stalled ? std::int64_t{3600} * 1000000 : 0); };
  rec_ = Recorder{};
  rec_.directory = dir_;
  rec_.onData = [&](UrlDownload&) { stalled = rec_.received >= 20000; };
  ASSERT_TRUE(run("/stall", jumping));
  ASSERT_TRUE(rec_.error);
  EXPECT_EQ(rec_.error->code, kUrlErrorTimedOut);
}

TEST_F(UrlDownloadTest, CapStopsEndlessAndBombBodiesWithinTheLimit) {
  UrlDownloadOptions options;
  options.maxBytes = 1 << 20;
  ASSERT_TRUE(run("/endless", options));
  EXPECT_EQ(rec_.error->code, kUrlErrorDataLengthExceedsMaximum);
  EXPECT_LE(fs::file_size(rec_.createdPath), 1u << 20);

  rec_ = Recorder{};
  rec_.directory = dir_;
  rec_.decode = true;
  ASSERT_TRUE(run("/bomb", options));
  EXPECT_EQ(rec_.error->code, kUrlErrorDataLengthExceedsMaximum);
  EXPECT_LE(fs::file_size(rec_.createdPath), 1u << 20);
  EXPECT_LT(rec_.received, 1u << 20);  // stopped long before the 100 MiB it expands to
}

TEST_F(UrlDownloadTest, AnnouncedLengthOverTheCapFailsAtOnce) {
  UrlDownloadOptions options;
  options.maxBytes = 5000;
  ASSERT_TRUE(run("/small", options));
  EXPECT_EQ(rec_.error->code, kUrlErrorDataLengthExceedsMaximum);
}

TEST_F(UrlDownloadTest, GzipIsDecodedOnlyWhenAsked) {
  const std::string body = pattern(200000);
  const std::string packed = gzip(body);
  server_.addFile("data.gz", packed);
  rec_.decode = true;
  ASSERT_TRUE(run("/data.gz"));
  EXPECT_TRUE(readFile(rec_.createdPath) == body);
  EXPECT_EQ(rec_.received, packed.size());  // progress counts bytes on the wire

  rec_ = Recorder{};
  rec_.directory = dir_;
  ASSERT_TRUE(run("/data.gz"));
  EXPECT_EQ(rec_.createdPath, dir_ + "/data.gz-1");
  EXPECT_TRUE(readFile(rec_.createdPath) == packed);

  // A content coding is removed whether asked or not; a gzip entity inside it only when
  // asked.
  server_.addFile("twice.gz", gzip(packed));
  for (const char* path : {"/coded", "/coded.gz"}) {
    rec_ = Recorder{};
    rec_.directory = dir_;
    rec_.decode = std::string(path) == "/coded.gz";
    ASSERT_TRUE(run(path)) << path;
    EXPECT_TRUE(readFile(rec_.createdPath) == body) << path;
  }
}

TEST_F(UrlDownloadTest, CorruptOrTruncatedGzipFails) {
  const std::string packed = gzip(pattern(100000));
  server_.addFile("cut.gz", packed.substr(0, packed.size() / 2));
  server_.addFile("junk.gz", packed.substr(0, 20) + std::string(5000, 'x'));
  server_.addFile("data.gz", packed);
  for (const char* path : {"/cut.gz", "/junk.gz", "/brotli"}) {
    rec_ = Recorder{};
    rec_.directory = dir_;
    rec_.decode = true;
    ASSERT_TRUE(run(path)) << path;
    ASSERT_TRUE(rec_.error) << path;
    EXPECT_EQ(rec_.error->code, kUrlErrorCannotDecodeContentData) << path;
  }
  EXPECT_EQ(rec_.count("created"), 0) << "a coding that cannot be removed makes no file";
}

TEST_F(UrlDownloadTest, ExistingFilesAreNeverOverwritten) {
  std::ofstream(dir_ + "/small") << "mine";
  std::ofstream(dir_ + "/small-1") << "mine too";
  ASSERT_TRUE(run("/small"));
  EXPECT_EQ(rec_.createdPath, dir_ + "/small-2");
  EXPECT_EQ(readFile(dir_ + "/small"), "mine");
  EXPECT_EQ(readFile(dir_ + "/small-1"), "mine too");
  EXPECT_TRUE(readFile(dir_ + "/small-2") == pattern(10000));
}

TEST_F(UrlDownloadTest, UncreatableAndUnwritableDestinationsFail) {
  rec_.destination = dir_ + "/no/such/dir/file";
  ASSERT_TRUE(run("/small"));
  EXPECT_EQ(rec_.error->code, kUrlErrorCannotCreateFile);

  rec_ = Recorder{};
  rec_.destination = "/dev/full";  // every write fails as on a full disk
  rec_.allowOverwrite = true;
  ASSERT_TRUE(run("/small"));
  ASSERT_TRUE(rec_.error);
  EXPECT_EQ(rec_.error->code, kUrlErrorCannotWriteToFile);
}

TEST_F(UrlDownloadTest, CancelInsideACallbackStopsEveryLaterCallback) {
  rec_.onData = [](UrlDownload& d) { d.cancel(); };
  rec_.download = UrlDownload::start(server_.url("/nolength"), rec_);
  ASSERT_TRUE(rec_.download);
  runMainLoopUntil([] { return false; }, 500);
  EXPECT_EQ(rec_.ends, 0);
  EXPECT_EQ(rec_.events.back(), "data");
  EXPECT_LT(rec_.received, 70000u);
}

TEST_F(UrlDownloadTest, CancelFromTheLoopStopsATransferThatIsWaiting) {
  rec_.download = UrlDownload::start(server_.url("/stall"), rec_);
  ASSERT_TRUE(rec_.download);
  runMainLoopUntil([&] { return rec_.received >= 20000; }, 5000);
  rec_.download->cancel();
  runMainLoopUntil([] { return false; }, 300);
  EXPECT_EQ(rec_.ends, 0);
  EXPECT_TRUE(fs::exists(rec_.createdPath));  // the file stays for its owner
}

TEST_F(UrlDownloadTest, OnlyAbsoluteWebUrlsStart) {
  for (const char* url :
       {"not a url", "", "file:///etc/passwd", "ftp://127.0.0.1/x", "/relative/path", "http://"}) {
    EXPECT_EQ(UrlDownload::start(url, rec_), nullptr) << url;
  }
  EXPECT_TRUE(rec_.events.empty());
}

TEST_F(UrlDownloadTest, ClosedPortCannotConnect) {
  int port;
  {
    testing::LocalHttpServer gone;
    port = gone.port();
  }
  ASSERT_TRUE(run("http://127.0.0.1:" + std::to_string(port) + "/x"));
  EXPECT_EQ(rec_.error->code, kUrlErrorCannotConnectToHost);
}

TEST_F(UrlDownloadTest, ProxyFromTheEnvironmentServesAnyHost) {
  ::setenv("http_proxy", server_.url("").c_str(), 1);
  bool finished = run("http://downloads.invalid/small");
  ::unsetenv("http_proxy");
  ASSERT_TRUE(finished);
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_TRUE(readFile(rec_.createdPath) == pattern(10000));
  EXPECT_EQ(server_.requests().back(), "GET /small");
}

// Within the file's first block, and past several of them (the kept bytes are on disk
// before the range is asked for).
TEST_F(UrlDownloadTest, DroppedTransferResumesWithRangeAndAppends) {
  for (const auto& [name, size] : {std::pair{"drop", 400000}, std::pair{"blocks", 2621447}}) {
    SCOPED_TRACE(name);
    const std::size_t before = server_.requests().size();
    rec_ = Recorder{};
    rec_.directory = dir_;
    std::uintmax_t onDisk = 0;
    rec_.onRetry = [&](UrlDownload&) { onDisk = fs::file_size(rec_.createdPath); };
    ASSERT_TRUE(run(std::string("/") + name, quickRetries()));
    ASSERT_EQ(rec_.retryBytes.size(), 1u);
    const std::int64_t kept = rec_.retryBytes[0];
    EXPECT_EQ(onDisk, static_cast<std::uintmax_t>(kept));  // the wait leaves no byte unwritten
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, size);
    EXPECT_EQ(rec_.events, (std::vector<std::string>{"response", "decode? application/octet-stream",
                                                     std::string("destination ") + name, "created",
                                                     "data", "retry 1 of 4", "data", "finish"}));
    EXPECT_TRUE(readFile(rec_.createdPath) == pattern(size));
    EXPECT_EQ(rec_.received, static_cast<std::uint64_t>(size));  // progress goes on
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), before + 2);
    EXPECT_EQ(requests[before + 1].rfind(std::string("GET /") + name + " range=bytes=" +
                                             std::to_string(kept) + "- if-range=\"",
                                         0),
              0u)
        << requests[before + 1];
  }
}

TEST_F(UrlDownloadTest, RetriesThatCannotContinueStartAgainInTheSameFile) {
  server_.addFile("data.gz", gzip(pattern(400000)));
  struct Case {
    const char* path;
    bool decode;
    int retries;
    bool secondAsksRange;
  };
  // A server that ignores Range or whose entity changed answers 200; one that sends the
  // wrong range costs an attempt; without a validator or through gzip no range is asked.
  for (const Case& c : {Case{"/norange", false, 1, true}, Case{"/newtag", false, 1, true},
                        Case{"/shifted", false, 2, true}, Case{"/untagged", false, 1, false},
                        Case{"/drop.gz", true, 1, false}, Case{"/drop.coded", false, 1, false}}) {
    SCOPED_TRACE(c.path);
    const std::size_t before = server_.requests().size();
    rec_ = Recorder{};
    rec_.directory = dir_;
    rec_.decode = c.decode;
    ASSERT_TRUE(run(c.path, quickRetries()));
    EXPECT_EQ(rec_.events.back(), "finish");
    EXPECT_EQ(rec_.count("retry " + std::to_string(c.retries) + " of 4"), 1);
    EXPECT_EQ(rec_.count("response"), 2);  // the first answer and the whole one again
    EXPECT_EQ(rec_.count("created"), 1);
    EXPECT_TRUE(readFile(rec_.createdPath) == pattern(400000));
    const auto requests = server_.requests();
    ASSERT_EQ(requests.size(), before + 1 + static_cast<std::size_t>(c.retries));
    EXPECT_EQ(requests[before + 1].find(" range=") != std::string::npos, c.secondAsksRange);
    // After a wrong range the last request asks for the whole entity.
    if (c.retries == 2) {
      EXPECT_EQ(requests.back().find(" range="), std::string::npos);
    }
  }
}

TEST_F(UrlDownloadTest, AttemptsThatKeepFailingEndWithTheLastErrorAfterFourRetries) {
  int closedPort;
  {
    testing::LocalHttpServer gone;
    closedPort = gone.port();
  }
  UrlDownloadOptions stalling = quickRetries();
  stalling.timeoutSeconds = 0.3;
  const std::tuple<std::string, UrlDownloadOptions, long> cases[] = {
      {"/halves", quickRetries(), kUrlErrorNetworkConnectionLost},
      {"/stalls", stalling, kUrlErrorTimedOut},
      {"http://127.0.0.1:" + std::to_string(closedPort) + "/x", quickRetries(),
       kUrlErrorCannotConnectToHost}};
  for (const auto& [path, options, code] : cases) {
    SCOPED_TRACE(path);
    rec_ = Recorder{};
    rec_.directory = dir_;
    ASSERT_TRUE(run(path, options));
    for (int k = 1; k <= 4; ++k) {
      EXPECT_EQ(rec_.count("retry " + std::to_string(k) + " of 4"), 1);
    }
    EXPECT_EQ(rec_.events.back(), "fail " + std::to_string(code));
    EXPECT_EQ(rec_.count("fail " + std::to_string(code)), 1);
  }
}

TEST_F(UrlDownloadTest, AnswersThatCannotImproveAreNeverRetried) {
  UrlDownloadOptions capped = quickRetries();
  capped.maxBytes = 5000;
  const std::pair<const char*, UrlDownloadOptions> cases[] = {
      {"/missing", quickRetries()}, {"/gone", quickRetries()}, {"/broken", quickRetries()},
      {"/tofile", quickRetries()},  {"/loop", quickRetries()}, {"/small", capped}};
  for (const auto& [path, options] : cases) {
    SCOPED_TRACE(path);
    rec_ = Recorder{};
    rec_.directory = dir_;
    ASSERT_TRUE(run(path, options));
    EXPECT_TRUE(rec_.retryBytes.empty());
    EXPECT_EQ(rec_.ends, 1);
    EXPECT_TRUE(rec_.error);
  }
}

TEST_F(UrlDownloadTest, ServiceUnavailableWaitsAsToldUpToTheLimit) {
  UrlDownloadOptions slowSchedule = quickRetries();
  slowSchedule.retryWaitsSeconds = {5, 5, 5, 5};
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(run("/busy", slowSchedule));
  const double told =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_EQ(rec_.count("retry 2 of 4"), 1);
  EXPECT_EQ(rec_.count("response"), 1);  // the 503s never reach the delegate as responses
  EXPECT_GE(told, 1.9);                  // two waits of Retry-After: 1
  EXPECT_LT(told, 5.0);                  // and not the scheduled five seconds

  rec_ = Recorder{};
  rec_.directory = dir_;
  slowSchedule.maxRetryAfterSeconds = 0.2;
  started = std::chrono::steady_clock::now();
  ASSERT_TRUE(run("/busylong", slowSchedule));
  EXPECT_EQ(rec_.events.back(), "finish");
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 2.0);
}

TEST_F(UrlDownloadTest, TrickleAndDribbledHeadersTimeOutWithinABoundedTotal) {
  UrlDownloadOptions limited;
  limited.retryWaitsSeconds = {0.05, 0.05};
  UrlDownloadOptions judged = limited;
  judged.speedWindowSeconds = 1;
  judged.headerDeadlineSeconds = 0.5;
  limited.attemptLimitSeconds = 0.5;
  // Each keeps the no-data rule quiet: a byte or a header line arrives every 0.1 s.
  const std::pair<const char*, UrlDownloadOptions> cases[] = {
      {"/trickle", judged}, {"/slowheaders", judged}, {"/trickle", limited}};
  for (const auto& [path, options] : cases) {
    SCOPED_TRACE(path);
    rec_ = Recorder{};
    rec_.directory = dir_;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(run(path, options));
    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_EQ(rec_.events.back(), "fail " + std::to_string(kUrlErrorTimedOut));
    EXPECT_EQ(rec_.count("retry 2 of 2"), 1);
    EXPECT_LT(took, 6.0);
  }
}

TEST_F(UrlDownloadTest, CancelDuringTheWaitBeforeARetryEndsEverything) {
  UrlDownloadOptions options;
  options.retryWaitsSeconds = {30};
  rec_.download = UrlDownload::start(server_.url("/reset"), rec_, options);
  ASSERT_TRUE(rec_.download);
  ASSERT_TRUE(runMainLoopUntil([&] { return !rec_.retryBytes.empty(); }, 10000));
  const auto started = std::chrono::steady_clock::now();
  rec_.download->cancel();
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 0.5);
  const std::size_t seen = rec_.events.size();
  runMainLoopUntil([] { return false; }, 300);
  EXPECT_EQ(rec_.events.size(), seen);
  EXPECT_EQ(rec_.ends, 0);
  EXPECT_EQ(server_.requests().size(), 1u);
  rec_.download.reset();  // and the transfer goes away cleanly while it was waiting
}

}  // namespace
}  // namespace platform
