// Files written so that readers see either nothing or the whole content: a private temporary
// beside the name, written in full, synced, renamed over the name, then given its exact mode.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string_view>

namespace orlith {

class AtomicFile final {
 public:
  AtomicFile() = delete;

  // folder must be a real directory, not a link. Throws std::system_error; a failed write
  // leaves no temporary behind.
  static void write(const std::filesystem::path& folder, std::string_view name,
                    std::string_view bytes, mode_t mode);
  // The same, relative to an open folder descriptor.
  static void writeAt(int folder, std::string_view name, std::string_view bytes, mode_t mode);
};

}  // namespace orlith
