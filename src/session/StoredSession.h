// The account's saved session: its e-mail, when known, and its session cookie. The vault keeps
// it as JSON in the keyring.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "session/StoredCookie.h"

namespace orlith {

struct StoredSession {
  std::optional<std::string> email;
  StoredCookie cookie;

  // The cookie has a value and has not expired; one expiring exactly now has.
  bool isUsable(std::chrono::system_clock::time_point now) const;

  // Compact JSON. Throws nlohmann::json::type_error for text that is not valid UTF-8.
  std::string encode() const;
  // Throws JsonDecodeError for malformed text, a missing "cookie" or a wrong type anywhere.
  static StoredSession decode(std::string_view json);

  bool operator==(const StoredSession&) const = default;
};

}  // namespace orlith
