// The one test of whether an address may open a workspace page inside the app: a path of
// "/app" or under "/app/" that cannot resolve to somewhere else than it looks.
#pragma once

#include <optional>

#include "base/Url.h"

namespace orlith {

// True when the decoded path is "/app" or lies under "/app/" and holds no "." or ".."
// segment (also written as "%2E"), no encoded slash, no backslash and no control character.
bool isSafeAppPath(const Url& url);

// recoverableURL() that also refuses what isSafeAppPath() refuses: the rule for every address a
// tab is restored or recovered to.
std::optional<Url> safeRecoverableURL(const Url& url, const Url& origin);

}  // namespace orlith
