// The descriptions that go with the URL error codes: what a person reads in the install
// log when a download fails.

#include "platform/url/UrlDownload.h"

namespace platform {
namespace {

const char* describe(long code) {
  switch (code) {
    case kUrlErrorCancelled:
      return "The download was cancelled.";
    case kUrlErrorBadURL:
      return "The URL is not valid.";
    case kUrlErrorTimedOut:
      return "The request timed out.";
    case kUrlErrorUnsupportedURL:
      return "The URL uses a scheme that is not supported.";
    case kUrlErrorCannotFindHost:
      return "A server with the specified hostname could not be found.";
    case kUrlErrorCannotConnectToHost:
      return "Could not connect to the server.";
    case kUrlErrorNetworkConnectionLost:
      return "The network connection was lost.";
    case kUrlErrorHTTPTooManyRedirects:
      return "There were too many redirects.";
    case kUrlErrorBadServerResponse:
      return "The server returned a bad response.";
    case kUrlErrorCannotDecodeContentData:
      return "The downloaded data could not be decoded.";
    case kUrlErrorFileDoesNotExist:
      return "The requested URL was not found on this server.";
    case kUrlErrorDataLengthExceedsMaximum:
      return "The resource exceeds the maximum size.";
    case kUrlErrorSecureConnectionFailed:
      return "A secure connection to the server could not be made.";
    case kUrlErrorCannotCreateFile:
      return "The destination file could not be created.";
    case kUrlErrorCannotWriteToFile:
      return "The destination file could not be written.";
    default:
      return "An unknown error occurred.";
  }
}

}  // namespace

UrlError makeUrlError(long code, const std::string& failingUrl) {
  return {kNSURLErrorDomain, code, describe(code), failingUrl};
}

}  // namespace platform
