// The rule that decides whether a tab's address may be remembered and reopened.
#pragma once

#include <cstddef>
#include <optional>

#include "base/Url.h"

namespace orlith {

inline constexpr std::size_t kMaxRecoverableUrlLength = 4096;

// `url` without its query and fragment when it has no credentials, the origin's scheme, host
// (both compared without regard to case) and port, a path of "/app" or under "/app/", and at
// most 4096 characters in all; otherwise none.
std::optional<Url> recoverableURL(const Url& url, const Url& origin);

}  // namespace orlith
