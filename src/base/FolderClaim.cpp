// Folder claims: a shared flock per owner, an exclusive one taken without waiting by a sweep.
#include "base/FolderClaim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "base/DescriptorTree.h"

namespace orlith {
namespace {

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

int openFolder(int parent, const std::string& name) {
  return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

int lockRetryingSignals(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

// Whether the open folder is still the one at `name`: a sweep may have removed it between the
// open and the lock.
bool stillLinked(int parent, const std::string& name, int fd) {
  struct stat held {};
  struct stat named {};
  return ::fstat(fd, &held) == 0 && held.st_nlink > 0 &&
         ::fstatat(parent, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

}  // namespace

FolderClaim::FolderClaim(FolderClaim&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

FolderClaim& FolderClaim::operator=(FolderClaim&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) {
      ::close(fd_);
    }
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FolderClaim::~FolderClaim() {
  if (fd_ >= 0) {
    ::close(fd_);
  }
}

FolderClaim FolderClaim::claim(int parent, const std::string& name) {
  const int fd = openFolder(parent, name);
  if (fd < 0) {
    throwErrno(errno);
  }
  FolderClaim claim(fd);
  // Waits only while a sweep removes the folder, which then fails the check below.
  if (lockRetryingSignals(fd, LOCK_SH) != 0) {
    throwErrno(errno);
  }
  if (!stillLinked(parent, name, fd)) {
    throwErrno(ENOENT);
  }
  return claim;
}

FolderClaim FolderClaim::claim(const std::filesystem::path& folder) {
  const int parent = ::open(folder.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (parent < 0) {
    throwErrno(errno);
  }
  try {
    FolderClaim claimed = claim(parent, folder.filename().string());
    ::close(parent);
    return claimed;
  } catch (...) {
    ::close(parent);
    throw;
  }
}

FolderClaim::Sweep FolderClaim::removeUnclaimed(int parent, const std::string& name) {
  const int fd = openFolder(parent, name);
  if (fd < 0) {
    if (errno == ENOENT) {
      return Sweep::absent;
    }
    throwErrno(errno);
  }
  const FolderClaim sweeping(fd);
  if (lockRetryingSignals(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      return Sweep::inUse;
    }
    throwErrno(errno);
  }
  if (!stillLinked(parent, name, fd)) {
    return Sweep::absent;
  }
  // Held until the folder is gone, so an owner claiming it meanwhile finds it removed.
  DescriptorTree::removeContents(fd);
  if (::unlinkat(parent, name.c_str(), AT_REMOVEDIR) != 0 && errno != ENOENT) {
    throwErrno(errno);
  }
  return Sweep::removed;
}

}  // namespace orlith
