// The stored session's JSON form and its usability test.
#include "session/StoredSession.h"

#include "session/ReferenceDate.h"

namespace orlith {

bool StoredSession::isUsable(std::chrono::system_clock::time_point now) const {
  if (cookie.value.empty())
    return false;
  return !cookie.expiresAt || *cookie.expiresAt > referenceSecondsFrom(now);
}

std::string StoredSession::encode() const {
  Json object = {{"cookie", cookie.toJson()}};
  if (email)
    object["email"] = *email;
  return object.dump();
}

StoredSession StoredSession::decode(std::string_view json) {
  const Json object = parseJson(json);
  StoredSession session;
  session.email = optionalString(object, "email");
  session.cookie = StoredCookie::fromJson(requireObject(object, "cookie"));
  return session;
}

}  // namespace orlith
