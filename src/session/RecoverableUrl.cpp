// Which tab addresses may be remembered.
#include "session/RecoverableUrl.h"

#include <string>
#include <string_view>

namespace orlith {
namespace {

std::size_t codePointCount(std::string_view text) {
  std::size_t count = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80)
      ++count;
  }
  return count;
}

}  // namespace

std::optional<Url> recoverableURL(const Url& url, const Url& origin) {
  if (url.hasCredentials())
    return std::nullopt;
  if (url.scheme() != origin.scheme())
    return std::nullopt;
  if (url.lowercasedHost() != origin.lowercasedHost())
    return std::nullopt;
  if (url.port() != origin.port())
    return std::nullopt;
  std::string path = url.path();
  if (path != "/app" && !path.starts_with("/app/"))
    return std::nullopt;
  const std::string& text = url.absoluteString();
  if (codePointCount(text) > kMaxRecoverableUrlLength)
    return std::nullopt;
  // Neither "?" nor "#" can stand unencoded before the query in a valid URL.
  return Url::parse(std::string_view(text).substr(0, text.find_first_of("?#")));
}

}  // namespace orlith
