// The service's session cookie in a form that can be stored, compared and installed again.
#pragma once

#include <optional>
#include <string>

#include "base/Json.h"
#include "session/HttpCookie.h"
#include "session/OrlithAuthRecords.h"

namespace orlith {

struct StoredCookie {
  std::string name;
  std::string value;
  std::string domain;  // without a leading "."
  std::string path;
  bool isSecure = false;
  std::optional<double> expiresAt;  // seconds since 2001-01-01 UTC; none: ends with the session

  // From a cookie read back from an engine: one leading "." of the domain dropped, an empty path
  // read as "/".
  static StoredCookie fromHttpCookie(const HttpCookie& cookie);
  // From a provider hand-off: none when its name or value is empty. An expiry text that is not
  // an internet date-time gives no expiry rather than no cookie.
  static std::optional<StoredCookie> fromHandoff(const NativeHandoffCookie& handoff,
                                                 std::string domain);

  // The cookie to install: HTTP-only always, secure only when stored so. None when a field could
  // not be sent safely in a Cookie header: an empty name or domain, a name holding "=", ";",
  // white space or a control character, or a value, domain or path holding ";" or a control
  // character.
  std::optional<HttpCookie> httpCookie() const;

  Json toJson() const;
  // Throws JsonDecodeError when a required key is missing or any key has the wrong type.
  static StoredCookie fromJson(const Json& object);

  bool operator==(const StoredCookie&) const = default;
};

}  // namespace orlith
