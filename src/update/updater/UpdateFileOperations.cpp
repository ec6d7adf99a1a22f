// fsync over a tree by descriptors, and renameat2.
#include "update/updater/UpdateFileOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <system_error>
#include <vector>

#include "update/trust/DescriptorFiles.h"
#include "update/trust/UniqueFd.h"

namespace orlith {
namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

void syncDescriptor(int fd) {
  if (::fsync(fd) != 0) {
    throwErrno(errno);
  }
}

std::vector<std::string> namesIn(int folder) {
  // A fresh descriptor of its own: readdir moves the position of the one it is given.
  const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (own < 0) {
    throwErrno(errno);
  }
  const std::unique_ptr<DIR, int (*)(DIR*)> listing(::fdopendir(own), &::closedir);
  if (!listing) {
    const int error = errno;
    ::close(own);
    throwErrno(error);
  }
  std::vector<std::string> names;
  while (const dirent* entry = ::readdir(listing.get())) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") {
      names.push_back(name);
    }
  }
  return names;
}

}  // namespace

void SystemUpdateFileOperations::syncTree(int folder) {
  for (const std::string& name : namesIn(folder)) {
    struct stat info {};
    if (::fstatat(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
      throwErrno(errno);
    }
    if (S_ISDIR(info.st_mode)) {
      const UniqueFd below(
          ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
      if (!below) {
        throwErrno(errno);
      }
      syncTree(below.get());
    } else if (S_ISREG(info.st_mode)) {
      const UniqueFd file(::openat(folder, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
      if (!file) {
        throwErrno(errno);
      }
      syncDescriptor(file.get());
    }
    // A link's target is its own inode's content, which the folder's sync below carries.
  }
  syncDescriptor(folder);
}

void SystemUpdateFileOperations::syncFolder(int folder) {
  syncDescriptor(folder);
}

bool SystemUpdateFileOperations::renameWithin(int folder, const std::string& from,
                                              const std::string& to, unsigned flags) {
  return ::renameat2(folder, from.c_str(), folder, to.c_str(), flags) == 0;
}

}  // namespace orlith
