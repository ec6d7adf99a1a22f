// Work root, plan file and markers.
#include "update/trust/UpdateWorkRoot.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "update/trust/AtomicFile.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/PrivateFolder.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr const char* kNotPrivate = "The updater handoff is not private.";
constexpr std::size_t kMaximumMarkerSize = 64;

[[noreturn]] void throwErrno(int error) {
  throw std::system_error(error, std::generic_category());
}

constexpr int kClaimAttempts = 3;

}  // namespace

UpdateWorkRoot::Created UpdateWorkRoot::create(const UpdateLocations& locations,
                                               UuidSource& uuids) {
  const uid_t user = locations.users->effectiveUserId();
  const auto folder =
      PrivateFolder::open(locations.temporaryFolder, user, FolderCreation::ifMissing, kNotPrivate);
  if (!folder) {
    throwErrno(ENOENT);
  }
  // A sweep may remove a root between its making and its claim; a fresh one is made then.
  for (int attempt = 1;; ++attempt) {
    const std::string name = std::string(update_wire::kWorkRootPrefix) + uuids.next();
    if (::mkdirat(folder->fd.get(), name.c_str(), 0700) != 0) {
      throwErrno(errno);
    }
    FolderClaim claim;
    try {
      claim = FolderClaim::claim(folder->fd.get(), name);
    } catch (const std::system_error& error) {
      if (error.code() == std::errc::no_such_file_or_directory && attempt < kClaimAttempts) {
        continue;
      }
      throw;
    }
    // The umask only removes bits; the exact mode comes from fchmod on the folder made.
    if (::fchmod(claim.descriptor(), 0700) != 0) {
      throwErrno(errno);
    }
    return {folder->path / name, std::move(claim)};
  }
}

void UpdateWorkRoot::removeUnclaimed(const UpdateLocations& locations) {
  removeUnclaimedIn(locations.temporaryFolder, locations.users->effectiveUserId());
}

void UpdateWorkRoot::removeUnclaimedIn(const std::filesystem::path& folder, uid_t user) {
  PrivateFolder::visitOwnEntries(folder, user, isRootName, [](int parent, const std::string& name) {
    FolderClaim::removeUnclaimed(parent, name);
  });
}

bool UpdateWorkRoot::isRootName(std::string_view name) {
  if (!name.starts_with(update_wire::kWorkRootPrefix)) {
    return false;
  }
  const std::string_view id = name.substr(update_wire::kWorkRootPrefix.size());
  const auto canonical = canonicalUuid(id);
  return canonical && *canonical == id;
}

std::filesystem::path UpdateWorkRoot::planFile(const std::filesystem::path& root) {
  return root / update_wire::kPlanFileName;
}

void UpdateWorkRoot::writePlan(const std::filesystem::path& root, const UpdateInstallPlan& plan) {
  AtomicFile::write(root, update_wire::kPlanFileName, plan.encode(), 0600);
}

UpdateInstallPlan UpdateWorkRoot::readPlan(const std::filesystem::path& planFile,
                                           const UserDatabase& users) {
  // O_NONBLOCK so a FIFO planted under the name cannot stall the open.
  const UniqueFd file(
      ::open(planFile.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
  if (!file) {
    throw UpdateFailure(kNotPrivate);
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1 ||
      info.st_uid != users.effectiveUserId() || (info.st_mode & (S_IWGRP | S_IWOTH)) != 0 ||
      info.st_size < 1 ||
      static_cast<std::uint64_t>(info.st_size) > update_wire::kMaximumPlanFileSize) {
    throw UpdateFailure(kNotPrivate);
  }
  const auto content = DescriptorFiles::readAtMost(file.get(), update_wire::kMaximumPlanFileSize);
  if (!content) {
    throwErrno(errno);
  }
  // The size is judged again on what was read, in case the file grew after fstat.
  if (content->empty() || content->size() > update_wire::kMaximumPlanFileSize) {
    throw UpdateFailure(kNotPrivate);
  }
  return UpdateInstallPlan::decode(*content);
}

std::string_view UpdateWorkRoot::markerName(UpdateMarker marker) {
  switch (marker) {
    case UpdateMarker::prepared:
      return update_wire::kPreparedMarker;
    case UpdateMarker::committed:
      return update_wire::kCommittedMarker;
    case UpdateMarker::cancelled:
      return update_wire::kCancelledMarker;
  }
  return update_wire::kCancelledMarker;
}

std::string UpdateWorkRoot::processIdText(std::int32_t pid) {
  return std::to_string(pid);
}

void UpdateWorkRoot::writeMarker(const std::filesystem::path& root, UpdateMarker marker,
                                 std::string_view content) {
  AtomicFile::write(root, markerName(marker), content, 0600);
}

std::optional<std::string> UpdateWorkRoot::readMarker(const std::filesystem::path& root,
                                                      UpdateMarker marker) {
  const UniqueFd dir(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (!dir) {
    return std::nullopt;
  }
  const std::string name(markerName(marker));
  const UniqueFd file(
      ::openat(dir.get(), name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (!file || ::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return std::nullopt;
  }
  auto content = DescriptorFiles::readAtMost(file.get(), kMaximumMarkerSize);
  if (!content || content->size() > kMaximumMarkerSize) {
    return std::nullopt;
  }
  return content;
}

bool UpdateWorkRoot::markerNamesProcess(const std::filesystem::path& root, UpdateMarker marker,
                                        std::int32_t pid) {
  const auto content = readMarker(root, marker);
  return pid > 0 && content && *content == processIdText(pid);
}

}  // namespace orlith
