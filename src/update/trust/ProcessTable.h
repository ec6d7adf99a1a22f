// What /proc tells about running programs: the bundle a pinned process runs from, and which of
// this user's processes run a bundle of a given identifier.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string_view>
#include <vector>

#include "update/trust/PinnedProcess.h"

namespace orlith {

class ProcessTable final {
 public:
  ProcessTable() = delete;

  // The bundle whose Contents/MacOS/<CFBundleExecutable> is the process's program; nothing for a
  // program outside a bundle or one whose name is not the bundle's executable.
  static std::optional<std::filesystem::path> bundleOf(const PinnedProcess& process);
  static std::optional<std::filesystem::path> bundleOfExecutable(
      const std::filesystem::path& executable);
  // The live processes of this user whose bundle has the identifier, in /proc order. Zombies and
  // processes that cannot be read are skipped.
  static std::vector<pid_t> processesOfBundle(std::string_view identifier, uid_t user);
};

}  // namespace orlith
