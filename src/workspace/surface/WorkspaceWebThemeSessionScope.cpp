// Session scope of theme reads.
#include "workspace/surface/WorkspaceWebThemeSessionScope.h"

#include "base/Text.h"

namespace orlith {

WorkspaceWebThemeSessionScope::WorkspaceWebThemeSessionScope(
    const std::optional<std::string>& email, std::int64_t revision)
    : account_(accountOf(email)), revision_(revision) {}

std::optional<std::string> WorkspaceWebThemeSessionScope::accountOf(
    const std::optional<std::string>& email) {
  if (!email)
    return std::nullopt;
  return asciiLowercase(trimWhitespaceAndNewlines(*email));
}

WorkspaceWebThemeSessionScope::Advance WorkspaceWebThemeSessionScope::advance(
    const std::optional<std::string>& email, std::int64_t revision) {
  if (accountOf(email) != account_ || revision < revision_)
    return Advance::refused;
  if (revision == revision_)
    return Advance::sameRevision;
  revision_ = revision;
  return Advance::newRevision;
}

}  // namespace orlith
