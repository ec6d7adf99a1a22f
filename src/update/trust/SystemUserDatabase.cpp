// User database lookups with a growing buffer.
#include "update/trust/SystemUserDatabase.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace orlith {
namespace {

constexpr std::size_t kInitialBuffer = 1024;
constexpr std::size_t kMaximumBuffer = 1 << 20;

// Calls lookup(buffer) with a larger buffer for as long as it answers ERANGE.
template <typename Lookup>
bool withBuffer(Lookup lookup) {
  for (std::size_t size = kInitialBuffer; size <= kMaximumBuffer; size *= 2) {
    std::vector<char> buffer(size);
    const int error = lookup(buffer);
    if (error != ERANGE) {
      return error == 0;
    }
  }
  return false;
}

}  // namespace

uid_t SystemUserDatabase::effectiveUserId() const {
  return geteuid();
}

std::optional<std::string> SystemUserDatabase::homeDirectory(uid_t user) const {
  std::optional<std::string> home;
  withBuffer([&](std::vector<char>& buffer) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found);
    if (error == 0 && found != nullptr) {
      home = entry.pw_dir != nullptr ? std::string(entry.pw_dir) : std::string();
    }
    return error;
  });
  return home;
}

std::optional<gid_t> SystemUserDatabase::groupId(std::string_view name) const {
  const std::string owned(name);
  std::optional<gid_t> id;
  withBuffer([&](std::vector<char>& buffer) {
    group entry{};
    group* found = nullptr;
    const int error = getgrnam_r(owned.c_str(), &entry, buffer.data(), buffer.size(), &found);
    if (error == 0 && found != nullptr) {
      id = entry.gr_gid;
    }
    return error;
  });
  return id;
}

bool SystemUserDatabase::isMember(uid_t user, gid_t group) const {
  std::optional<std::string> name;
  gid_t primary = 0;
  withBuffer([&](std::vector<char>& buffer) {
    passwd entry{};
    passwd* found = nullptr;
    const int error = getpwuid_r(user, &entry, buffer.data(), buffer.size(), &found);
    if (error == 0 && found != nullptr && entry.pw_name != nullptr) {
      name = entry.pw_name;
      primary = entry.pw_gid;
    }
    return error;
  });
  if (!name) {
    return false;
  }
  if (primary == group) {
    return true;
  }
  std::vector<gid_t> groups(64);
  for (int attempt = 0; attempt < 8; ++attempt) {
    int count = static_cast<int>(groups.size());
    if (getgrouplist(name->c_str(), primary, groups.data(), &count) >= 0) {
      groups.resize(static_cast<std::size_t>(count));
      return std::find(groups.begin(), groups.end(), group) != groups.end();
    }
    groups.resize(static_cast<std::size_t>(count) > groups.size() ? static_cast<std::size_t>(count)
                                                                  : groups.size() * 2);
  }
  return false;
}

}  // namespace orlith
