// The one rule for a folder that update files are kept in, and the way such a folder is opened:
// the folder itself is never reached through a link, so a folder planted in its place cannot
// send downloads, work roots or their removal anywhere else.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "update/trust/UniqueFd.h"

namespace orlith {

enum class FolderCreation { ifMissing, never };

class PrivateFolder final {
 public:
  struct Opened {
    UniqueFd fd;
    // With the links above the folder resolved; the folder itself is none.
    std::filesystem::path path;
  };

  PrivateFolder() = delete;

  // A real folder (no link), owned by `user`, writable by nobody else.
  static bool isPrivate(const struct stat& info, uid_t user);

  // Opens `folder` without following a link at its last component; the folders above it are
  // where the user keeps them, links included. When asked, a missing folder and its missing
  // parents are made mode 0700. Nothing when it is missing and not to be made. An entry that is
  // not private throws UpdateFailure(refusal); other errors throw std::system_error.
  static std::optional<Opened> open(const std::filesystem::path& folder, uid_t user,
                                    FolderCreation creation, const std::string& refusal);
  // Calls `visit` with the open folder and the name of each entry that `ours` accepts. A folder
  // that is missing, a link, not private or unreadable is passed over, and so is an entry whose
  // visit throws: what is left is for a later visit.
  static void visitOwnEntries(
      const std::filesystem::path& folder, uid_t user,
      const std::function<bool(std::string_view name)>& ours,
      const std::function<void(int folder, const std::string& name)>& visit);
};

}  // namespace orlith
