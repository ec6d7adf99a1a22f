// Path forms the update checks compare: lexically standardized, and with symbolic links resolved.
// Both come without a trailing "/".
#pragma once

#include <filesystem>
#include <optional>

namespace orlith {

class UpdatePath final {
 public:
  UpdatePath() = delete;

  // "." and ".." resolved lexically, repeated and trailing separators dropped.
  static std::filesystem::path standardized(const std::filesystem::path& path);
  // The longest prefix that exists (a dangling link exists) resolved with realpath, the rest
  // appended. Nothing when that prefix cannot be resolved (a dangling link, a loop).
  static std::optional<std::filesystem::path> resolvingSymlinks(const std::filesystem::path& path);
  // Whether the standardized path reaches its object through no symbolic link at all.
  static bool isFreeOfLinks(const std::filesystem::path& path);
  // Whether path lies in folder (or is it), both with links resolved; false when either cannot be.
  static bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder);
};

}  // namespace orlith
