// A failure of the HTTP transport below the HTTP layer, described with the URL-loading error
// domain and codes: the offline text and the diagnostics filter key on them.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace orlith {

inline constexpr std::string_view kUrlErrorDomain = "NSURLErrorDomain";

enum class UrlErrorCode : int {
  unknown = -1,
  cancelled = -999,
  timedOut = -1001,
  cannotFindHost = -1003,
  cannotConnectToHost = -1004,
  networkConnectionLost = -1005,
  notConnectedToInternet = -1009,
  dataLengthExceedsMaximum = -1103,
  secureConnectionFailed = -1200,
};

inline constexpr std::string_view kOfflineDescription =
    "You appear to be offline. Check your connection and try again.";

class TransportError : public std::runtime_error {
 public:
  TransportError(std::string domain, int code, const std::string& description)
      : std::runtime_error(description), domain_(std::move(domain)), code_(code) {}

  // An error of the URL-loading domain with its standard description.
  static TransportError url(UrlErrorCode code) {
    return TransportError(std::string(kUrlErrorDomain), static_cast<int>(code),
                          std::string(standardDescription(code)));
  }

  static std::string_view standardDescription(UrlErrorCode code) {
    switch (code) {
      case UrlErrorCode::cancelled:
        return "cancelled";
      case UrlErrorCode::timedOut:
        return "The request timed out.";
      case UrlErrorCode::cannotFindHost:
        return "A server with the specified hostname could not be found.";
      case UrlErrorCode::cannotConnectToHost:
        return "Could not connect to the server.";
      case UrlErrorCode::networkConnectionLost:
        return "The network connection was lost.";
      case UrlErrorCode::notConnectedToInternet:
        return kOfflineDescription;
      case UrlErrorCode::dataLengthExceedsMaximum:
        return "The resource exceeds the maximum size.";
      case UrlErrorCode::secureConnectionFailed:
        return "A secure connection to the server could not be made.";
      case UrlErrorCode::unknown:
        break;
    }
    return "An unknown network error occurred.";
  }

  const std::string& domain() const { return domain_; }
  int code() const { return code_; }
  std::string description() const { return what(); }

  bool isUrlError(UrlErrorCode code) const {
    return domain_ == kUrlErrorDomain && code_ == static_cast<int>(code);
  }

 private:
  std::string domain_;
  int code_;
};

}  // namespace orlith
