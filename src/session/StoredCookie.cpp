// Conversions of the stored session cookie: engine cookies, hand-offs and JSON.
#include "session/StoredCookie.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "session/ReferenceDate.h"

namespace orlith {
namespace {

bool isControl(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte < 0x20 || byte == 0x7f;
}

bool holdsSemicolonOrControl(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return c == ';' || isControl(c); });
}

bool isSafeName(std::string_view name) {
  return !name.empty() && std::none_of(name.begin(), name.end(), [](char c) {
    return c == '=' || c == ';' || c == ' ' || isControl(c);
  });
}

}  // namespace

StoredCookie StoredCookie::fromHttpCookie(const HttpCookie& cookie) {
  StoredCookie stored;
  stored.name = cookie.name;
  stored.value = cookie.value;
  stored.domain = cookie.domain.starts_with('.') ? cookie.domain.substr(1) : cookie.domain;
  stored.path = cookie.path.empty() ? "/" : cookie.path;
  stored.isSecure = cookie.secure;
  if (cookie.expires)
    stored.expiresAt = referenceSecondsFrom(*cookie.expires);
  return stored;
}

std::optional<StoredCookie> StoredCookie::fromHandoff(const NativeHandoffCookie& handoff,
                                                      std::string domain) {
  if (handoff.name.empty() || handoff.value.empty())
    return std::nullopt;
  StoredCookie stored;
  stored.name = handoff.name;
  stored.value = handoff.value;
  stored.domain = std::move(domain);
  stored.path = handoff.path.value_or("/");
  stored.isSecure = handoff.secure;
  if (handoff.expiresAt)
    stored.expiresAt = parseInternetDateTime(*handoff.expiresAt);
  return stored;
}

std::optional<HttpCookie> StoredCookie::httpCookie() const {
  if (!isSafeName(name) || domain.empty() || holdsSemicolonOrControl(value) ||
      holdsSemicolonOrControl(domain) || holdsSemicolonOrControl(path)) {
    return std::nullopt;
  }
  HttpCookie cookie;
  cookie.name = name;
  cookie.value = value;
  cookie.domain = domain;
  cookie.path = path.empty() ? "/" : path;
  cookie.secure = isSecure;
  cookie.httpOnly = true;
  if (expiresAt)
    cookie.expires = timePointFromReferenceSeconds(*expiresAt);
  return cookie;
}

Json StoredCookie::toJson() const {
  Json object = {
      {"name", name}, {"value", value}, {"domain", domain}, {"path", path}, {"isSecure", isSecure}};
  if (expiresAt)
    object["expiresAt"] = *expiresAt;
  return object;
}

StoredCookie StoredCookie::fromJson(const Json& object) {
  StoredCookie cookie;
  cookie.name = requireString(object, "name");
  cookie.value = requireString(object, "value");
  cookie.domain = requireString(object, "domain");
  cookie.path = requireString(object, "path");
  cookie.isSecure = requireBool(object, "isSecure");
  cookie.expiresAt = optionalDouble(object, "expiresAt");
  // A number too large for a double reads as infinity, which JSON cannot write back.
  if (cookie.expiresAt && !std::isfinite(*cookie.expiresAt))
    throw JsonDecodeError("expiresAt", "expiresAt is not a finite number");
  return cookie;
}

}  // namespace orlith
