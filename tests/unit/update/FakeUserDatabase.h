// A user database of the test's own: one effective user with a chosen home field.
#pragma once

#include <map>
#include <memory>

#include "update/trust/UpdateLocations.h"
#include "update/trust/UserDatabase.h"

namespace orlith::test {

class FakeUserDatabase final : public UserDatabase {
 public:
  FakeUserDatabase(uid_t user, std::optional<std::string> home) : user_(user), home_(home) {}

  uid_t effectiveUserId() const override { return user_; }
  std::optional<std::string> homeDirectory(uid_t user) const override {
    return user == user_ ? home_ : std::nullopt;
  }
  std::optional<gid_t> groupId(std::string_view name) const override {
    return name == "sudo" ? std::optional<gid_t>(27) : std::nullopt;
  }

 private:
  uid_t user_;
  std::optional<std::string> home_;
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
