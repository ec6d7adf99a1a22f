// Committing and withdrawing an installation.
#include "update/trust/UpdateCancellationAuthorization.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "update/trust/DescriptorFiles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWire.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

const std::string kCommitted(update_wire::kCommittedMarker);

[[noreturn]] void fail() {
  throw UpdateFailure(UpdateCancellationAuthorization::kFailureMessage);
}

bool isPrivateFile(const struct stat& info, uid_t user) {
  return S_ISREG(info.st_mode) && info.st_uid == user && info.st_nlink == 1 &&
         (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The marker cannot be removed: empty it, which withdraws it just as well.
void neutralise(int folder, uid_t user) {
  const UniqueFd file(
      ::openat(folder, kCommitted.c_str(), O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0 || !isPrivateFile(info, user) ||
      ::ftruncate(file.get(), 0) != 0 || ::fsync(file.get()) != 0) {
    fail();
  }
  struct stat after {};
  if (::fstatat(folder, kCommitted.c_str(), &after, AT_SYMLINK_NOFOLLOW) != 0) {
    if (errno != ENOENT) {
      fail();
    }
    return;
  }
  if (after.st_dev != info.st_dev || after.st_ino != info.st_ino || !S_ISREG(after.st_mode) ||
      after.st_size != 0) {
    fail();
  }
}

}  // namespace

void UpdateCancellationAuthorization::revokeCommitted(const std::filesystem::path& root,
                                                      const UpdateLocations& locations,
                                                      UnlinkAt unlinkAt) {
  struct stat info {};
  if (::lstat(root.c_str(), &info) != 0) {
    if (errno == ENOENT) {
      return;
    }
    fail();
  }
  InstallationSecurity::validatePrivateRoot(root, locations);
  const UniqueFd folder = DescriptorFiles::openDirectory(root.string());
  struct stat opened {};
  if (!folder || ::fstat(folder.get(), &opened) != 0 || opened.st_dev != info.st_dev ||
      opened.st_ino != info.st_ino) {
    fail();
  }
  const uid_t user = locations.users->effectiveUserId();
  const int removed = (unlinkAt ? unlinkAt : ::unlinkat)(folder.get(), kCommitted.c_str(), 0);
  if (removed != 0 && errno != ENOENT) {
    neutralise(folder.get(), user);
    return;
  }
  struct stat gone {};
  if (::fstatat(folder.get(), kCommitted.c_str(), &gone, AT_SYMLINK_NOFOLLOW) == 0 ||
      errno != ENOENT) {
    fail();
  }
}

bool UpdateCancellationAuthorization::isCommitted(const std::filesystem::path& root,
                                                  std::int32_t helperPID,
                                                  const UpdateLocations& locations) {
  if (helperPID < 1) {
    return false;
  }
  const std::string path = (root / kCommitted).string();
  const UniqueFd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  const std::string expected = UpdateWorkRoot::processIdText(helperPID);
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0 ||
      !isPrivateFile(info, locations.users->effectiveUserId()) ||
      static_cast<std::size_t>(info.st_size) != expected.size()) {
    return false;
  }
  std::string content(expected.size(), '\0');
  ssize_t got = -1;
  do {
    got = ::read(file.get(), content.data(), content.size());
  } while (got < 0 && errno == EINTR);
  return got == static_cast<ssize_t>(expected.size()) && content == expected;
}

}  // namespace orlith
