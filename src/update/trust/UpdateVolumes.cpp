// Volume facts of this machine.
#include "update/trust/UpdateVolumes.h"

#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <array>
#include <cerrno>
#include <system_error>

namespace orlith {
namespace {

// ext2/3/4, xfs, btrfs, tmpfs, f2fs, overlayfs.
constexpr std::array<unsigned long, 6> kSwapCapable = {0xEF53,     0x58465342, 0x9123683E,
                                                       0x01021994, 0xF2F52010, 0x794C7630};

}  // namespace

bool SystemUpdateVolumes::isReadOnly(const std::filesystem::path& folder) const {
  struct statvfs info {};
  if (::statvfs(folder.c_str(), &info) != 0) {
    throw std::system_error(errno, std::generic_category());
  }
  return (info.f_flag & ST_RDONLY) != 0;
}

VolumeSupport SystemUpdateVolumes::swapRenaming(const std::filesystem::path& folder) const {
  struct statfs info {};
  if (::statfs(folder.c_str(), &info) != 0) {
    throw std::system_error(errno, std::generic_category());
  }
  for (const unsigned long type : kSwapCapable) {
    if (static_cast<unsigned long>(info.f_type) == type) {
      return VolumeSupport::supported;
    }
  }
  return VolumeSupport::unknown;
}

}  // namespace orlith
