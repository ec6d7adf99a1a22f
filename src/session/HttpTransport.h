// The port through which the system talks HTTP. Requests run off the main loop's turn and
// complete on the main queue; redirects are never followed, so a redirect reply comes back as
// the reply.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "base/Task.h"
#include "session/HttpCookie.h"
#include "session/HttpHeaders.h"

namespace orlith {

enum class CookieHandling {
  none,        // no cookies are stored, sent or read
  readReply,   // no storage, but the cookies a reply sets are read back into HttpResponse
  sessionJar,  // the session's own in-memory jar stores and sends cookies
};

enum class ReadMode {
  fullBody,
  headOnly,  // the reply ends as soon as its status and header fields are in
};

struct HttpSessionSettings {
  CookieHandling cookies = CookieHandling::none;
  // Longest wait for a connection or for any bytes once connected.
  std::chrono::milliseconds requestTimeout{std::chrono::seconds(60)};
  // Longest time the whole transfer may take.
  std::chrono::milliseconds resourceTimeout{std::chrono::seconds(180)};
  int maxConnectionsPerHost = 0;  // 0: no cap
};

struct HttpRequest {
  std::string url;
  std::string method = "GET";
  HttpHeaders headers;
  std::optional<std::string> body;
  // The request's own idle limit; the shorter of it and the session's applies.
  std::optional<std::chrono::milliseconds> timeout;
  ReadMode readMode = ReadMode::fullBody;
  // The most body bytes (decoded) the caller takes. A larger announced length, or one byte more,
  // ends the transfer with UrlErrorCode::dataLengthExceedsMaximum.
  std::optional<std::uint64_t> maxBodyBytes;
  // When set, the final reply's body goes here chunk by chunk, with its announced length (none
  // when unknown), and HttpResponse::body stays empty. Returning false ends the transfer, which
  // then throws the cancelled error. Called on the main thread.
  std::function<bool(std::string_view chunk, std::optional<std::uint64_t> announced)> bodySink;
};

struct HttpResponse {
  int status = 0;
  HttpHeaders headers;
  std::string body;
  // With CookieHandling::readReply: the cookies this reply set, as read for the request URL.
  std::vector<HttpCookie> cookies;
};

// The cookies a session holds.
class CookieStore {
 public:
  virtual ~CookieStore() = default;
  virtual std::vector<HttpCookie> allCookies() const = 0;
  virtual void add(const HttpCookie& cookie) = 0;
  // Removes the cookie with the same name, domain and path.
  virtual void remove(const HttpCookie& cookie) = 0;
};

// A set of transfers with shared settings. Destroying it cancels its transfers.
class HttpSession {
 public:
  virtual ~HttpSession() = default;
  // Throws TransportError for a failure below HTTP (cancellation is the URL-loading cancelled
  // code), never for an HTTP status. A header value holding CR, LF or NUL is refused before
  // anything is sent.
  virtual Task<HttpResponse> send(HttpRequest request, std::stop_token stop = {}) = 0;
  virtual void cancelAll() = 0;
  // Null unless the session was made with CookieHandling::sessionJar.
  virtual CookieStore* cookieStore() = 0;
};

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;
  virtual std::unique_ptr<HttpSession> makeSession(const HttpSessionSettings& settings) = 0;
};

}  // namespace orlith
