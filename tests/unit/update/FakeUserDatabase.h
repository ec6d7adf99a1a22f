// A user database of the test's own: one effective user with a chosen home field.
#pragma once

#include <map>
#include <memory>
#include <set>

#include "update/trust/UpdateLocations.h"
#include "update/trust/UserDatabase.h"

namespace orlith::test {

class FakeUserDatabase final : public UserDatabase {
 public:
  FakeUserDatabase(uid_t user, std::optional<std::string> home, std::set<gid_t> groups = {})
      : user_(user), home_(home), groups_(std::move(groups)) {}

  uid_t effectiveUserId() const override { return user_; }
  std::optional<std::string> homeDirectory(uid_t user) const override {
    return user == user_ ? home_ : std::nullopt;
  }
  std::optional<gid_t> groupId(std::string_view name) const override {
    return name == "sudo" ? std::optional<gid_t>(27) : std::nullopt;
  }
  bool isMember(uid_t user, gid_t group) const override {
    return user == user_ && groups_.contains(group);
  }

 private:
  uid_t user_;
  std::optional<std::string> home_;
  std::set<gid_t> groups_;
};

inline UpdateLocations testLocations(const std::filesystem::path& tree, uid_t user,
                                     std::optional<std::string> home) {
  return {tree / "opt/Applications",
          "sudo",
          tree / "tmp",
          std::make_shared<FakeUserDatabase>(user, std::move(home)),
          std::make_shared<SystemUpdateVolumes>(),
          std::nullopt,
          tree};
}

}  // namespace orlith::test
