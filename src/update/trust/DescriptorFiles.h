// Small descriptor-relative file operations shared by the seal, the tree writer and the checks:
// nothing here follows a symbolic link.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "update/trust/UniqueFd.h"

namespace orlith {

class DescriptorFiles final {
 public:
  DescriptorFiles() = delete;

  // openat(O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC); an invalid descriptor on failure,
  // with errno set.
  static UniqueFd openDirectory(int folder, const std::string& name);
  static UniqueFd openDirectory(const std::string& path);
  // A regular file opened read-only without following a link and without blocking on a FIFO.
  static UniqueFd openRegularFile(int folder, const std::string& name);
  // Up to limit + 1 bytes, so a caller can tell a file that is too long; nothing on a read error.
  static std::optional<std::string> readAtMost(int fd, std::size_t limit);
  // Lower-case hex SHA-256 of the rest of the file. Throws std::system_error.
  static std::string sha256Of(int fd);
  static std::optional<struct stat> statAt(int folder, const std::string& name);
  // The names in a folder, sorted, "." and ".." left out. The folder is opened afresh through
  // its descriptor, so listing never moves the caller's own position. Throws std::system_error.
  static std::vector<std::string> namesIn(int folder);
  [[noreturn]] static void throwErrno(int error);
};

}  // namespace orlith
