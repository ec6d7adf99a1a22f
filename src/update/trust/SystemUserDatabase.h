// The user database of this machine (getpwuid_r, getgrnam_r); never the environment.
#pragma once

#include "update/trust/UserDatabase.h"

namespace orlith {

class SystemUserDatabase final : public UserDatabase {
 public:
  uid_t effectiveUserId() const override;
  std::optional<std::string> homeDirectory(uid_t user) const override;
  std::optional<gid_t> groupId(std::string_view name) const override;
  bool isMember(uid_t user, gid_t group) const override;
};

}  // namespace orlith
