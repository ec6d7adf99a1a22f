// Netscape cookie lines: domain, tail-match flag, path, secure flag, expiry (seconds since the
// epoch, 0 for a session cookie), name, value; "#HttpOnly_" before the domain marks HttpOnly.
#include "platform/curl/CurlCookieLine.h"

#include "base/UnixTime.h"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <vector>

namespace orlith {
namespace {

constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

std::vector<std::string_view> splitTabs(std::string_view line) {
  std::vector<std::string_view> parts;
  while (true) {
    auto tab = line.find('\t');
    parts.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos)
      break;
    line.remove_prefix(tab + 1);
  }
  return parts;
}

}  // namespace

std::optional<HttpCookie> cookieFromNetscapeLine(std::string_view line) {
  HttpCookie cookie;
  if (line.starts_with(kHttpOnlyPrefix)) {
    cookie.httpOnly = true;
    line.remove_prefix(kHttpOnlyPrefix.size());
  }
  auto parts = splitTabs(line);
  if (parts.size() != 7 || parts[0].empty())
    return std::nullopt;
  bool tailMatch = parts[1] == "TRUE";
  std::string_view domain = parts[0];
  if (!tailMatch && domain.starts_with('.'))
    domain.remove_prefix(1);
  cookie.domain = (tailMatch && !domain.starts_with('.') ? "." : "") + std::string(domain);
  cookie.path = std::string(parts[2]);
  cookie.secure = parts[3] == "TRUE";
  std::int64_t expires = 0;
  auto [end, error] = std::from_chars(parts[4].data(), parts[4].data() + parts[4].size(), expires);
  if (error != std::errc() || end != parts[4].data() + parts[4].size())
    return std::nullopt;
  if (expires != 0) {
    cookie.expires = systemTimeFromUnixSeconds(expires);
  }
  cookie.name = std::string(parts[5]);
  cookie.value = std::string(parts[6]);
  return cookie;
}

std::string netscapeLineFor(const HttpCookie& cookie) {
  std::string line;
  if (cookie.httpOnly)
    line += kHttpOnlyPrefix;
  line += cookie.domain;
  line += cookie.isHostOnly() ? "\tFALSE\t" : "\tTRUE\t";
  line += cookie.path;
  line += cookie.secure ? "\tTRUE\t" : "\tFALSE\t";
  std::int64_t expires = 0;
  if (cookie.expires) {
    expires = std::chrono::duration_cast<std::chrono::seconds>(cookie.expires->time_since_epoch())
                  .count();
    // Zero would read back as a session cookie.
    if (expires == 0)
      expires = 1;
  }
  line += std::to_string(expires);
  line += '\t';
  line += cookie.name;
  line += '\t';
  line += cookie.value;
  return line;
}

}  // namespace orlith
