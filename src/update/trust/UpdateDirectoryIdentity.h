// A file-system object by (device, inode), taken without following a final link, so a path
// that was swapped between two checks is noticed.
#pragma once

#include <cstdint>

namespace orlith {

struct UpdateDirectoryIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;

  bool operator==(const UpdateDirectoryIdentity&) const = default;
};

}  // namespace orlith
