// The session (account and revision) under which the page's theme was last read, so that a
// theme answer from an earlier session is not adopted.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

class WorkspaceWebThemeSessionScope {
 public:
  enum class Advance { refused, sameRevision, newRevision };

  // `email` is trimmed and lower-cased into the account.
  WorkspaceWebThemeSessionScope(const std::optional<std::string>& email, std::int64_t revision);

  // Moves to (`email`, `revision`) when the account is the same (or both have none) and the
  // revision does not go back.
  Advance advance(const std::optional<std::string>& email, std::int64_t revision);

  const std::optional<std::string>& account() const { return account_; }
  std::int64_t revision() const { return revision_; }

  static std::optional<std::string> accountOf(const std::optional<std::string>& email);

 private:
  std::optional<std::string> account_;
  std::int64_t revision_;
};

}  // namespace orlith
