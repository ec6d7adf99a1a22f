// The user database as the update machinery sees it: the effective user, a user's home field
// and a group by name. A port, so tests can present any user without touching the real one.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace orlith {

class UserDatabase {
 public:
  virtual ~UserDatabase() = default;

  virtual uid_t effectiveUserId() const = 0;
  // The home directory field of the user's entry, as stored; nothing when there is no entry.
  virtual std::optional<std::string> homeDirectory(uid_t user) const = 0;
  virtual std::optional<gid_t> groupId(std::string_view name) const = 0;
  // Whether the user's entry names the group as its primary group or lists the user in it.
  virtual bool isMember(uid_t user, gid_t group) const = 0;
};

}  // namespace orlith
