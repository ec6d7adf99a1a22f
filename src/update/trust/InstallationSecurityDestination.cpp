// File-system checks of InstallationSecurity: the private work root, Applications folders,
// installed copies, the choice of destination and the re-check of a plan.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "update/trust/DescriptorFiles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/PrivateFolder.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateInstallationLocation.h"
#include "update/trust/UpdateInstallerIdentity.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr const char* kNotPrivate = "The updater handoff is not private.";
constexpr const char* kNotOwned =
    "Install this update manually: the application is not owned by your account.";
constexpr const char* kLocationChanged = "The installation location changed. Please try again.";
constexpr const char* kManualUserFolder = "Install Orlith manually in your Applications folder.";
constexpr const char* kUserLocationUnsafe = "The user Applications location is unsafe.";
constexpr const char* kManualStandardFolder =
    "Install Orlith manually in a standard Applications folder.";
constexpr const char* kFolderUnsafe =
    "The Applications folder is not a safe installation location.";
constexpr const char* kFolderNotWritable =
    "Install this update manually: your Applications folder is not writable.";
constexpr const char* kUnsupportedOwner =
    "Install this update manually: the existing application has an unsupported owner.";
constexpr const char* kLocationUnavailable = "The Applications location is unavailable.";
constexpr const char* kInvalidInstalledVersion =
    "The installed application has an invalid version.";
constexpr const char* kFolderChanged = "The Applications folder changed during installation.";
constexpr const char* kAnotherInstaller =
    "Another installer created the application. Please try again.";
constexpr const char* kApplicationChanged =
    "The installed application changed during installation.";

[[noreturn]] void manual(const char* message) {
  throw UpdateFailure(message, ManualInstallation::required);
}

std::optional<struct stat> lstatPath(const std::filesystem::path& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    return std::nullopt;
  }
  return info;
}

UpdateDirectoryIdentity identityOf(const struct stat& info) {
  return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

const UpdateVolumes& volumesOf(const UpdateLocations& locations) {
  static const SystemUpdateVolumes system;
  return locations.volumes ? *locations.volumes : system;
}

bool isSystemApplication(const std::filesystem::path& application,
                         const UpdateLocations& locations) {
  return UpdatePath::standardized(application) ==
         UpdateInstallationLocation::systemApplication(locations);
}

const std::string kApplication(UpdateInstallerIdentity::kApplication);

}  // namespace

void InstallationSecurity::validatePrivateRoot(const std::filesystem::path& root,
                                               const UpdateLocations& locations) {
  const std::filesystem::path standard = UpdatePath::standardized(root);
  std::string given = root.string();
  while (given.size() > 1 && given.back() == '/') {
    given.pop_back();
  }
  if (!root.is_absolute() || given != standard.string() || !UpdatePath::isFreeOfLinks(standard) ||
      !standard.filename().string().starts_with(update_wire::kWorkRootPrefix)) {
    throw UpdateFailure(kNotPrivate);
  }
  const auto info = lstatPath(standard);
  if (!info || !PrivateFolder::isPrivate(*info, locations.users->effectiveUserId())) {
    throw UpdateFailure(kNotPrivate);
  }
}

UpdateDirectoryIdentity InstallationSecurity::fileIdentity(const std::filesystem::path& path,
                                                           const UpdateLocations& locations) {
  const auto info = lstatPath(path);
  if (!info || !S_ISDIR(info->st_mode) || info->st_uid != locations.users->effectiveUserId() ||
      (info->st_mode & S_IWOTH) != 0) {
    manual(kNotOwned);
  }
  return identityOf(*info);
}

UpdateDirectoryIdentity InstallationSecurity::directoryIdentity(const std::filesystem::path& path) {
  const auto info = lstatPath(path);
  if (!info || !S_ISDIR(info->st_mode)) {
    throw UpdateFailure(kLocationChanged);
  }
  return identityOf(*info);
}

bool InstallationSecurity::pathExists(const std::filesystem::path& path) {
  return lstatPath(path).has_value();
}

void InstallationSecurity::prepareUserApplicationsDirectory(const UpdateLocations& locations) {
  const auto home = UpdateInstallationLocation::realUserHome(locations);
  const auto application = UpdateInstallationLocation::userApplication(locations);
  if (!home || !application) {
    manual(kManualUserFolder);
  }
  fileIdentity(*home, locations);
  if (!UpdatePath::isFreeOfLinks(*home)) {
    manual(kUserLocationUnsafe);
  }
  const std::filesystem::path folder = application->parent_path();
  if (!lstatPath(folder)) {
    const UniqueFd parent = DescriptorFiles::openDirectory(home->string());
    if (!parent) {
      DescriptorFiles::throwErrno(errno);
    }
    const std::string name = folder.filename().string();
    if (::mkdirat(parent.get(), name.c_str(), 0755) != 0) {
      DescriptorFiles::throwErrno(errno);
    }
    // The umask may have taken bits from 0755; the folder gets exactly that mode.
    const UniqueFd made = DescriptorFiles::openDirectory(parent.get(), name);
    if (!made || ::fchmod(made.get(), 0755) != 0) {
      DescriptorFiles::throwErrno(errno);
    }
  }
  fileIdentity(folder, locations);
}

UpdateDirectoryIdentity InstallationSecurity::validateApplicationsParent(
    const std::filesystem::path& application, WritableCheck writable,
    const UpdateLocations& locations) {
  const std::string path = UpdatePath::standardized(application).string();
  if (!UpdateInstallationLocation::isStandardApplication(application, locations) ||
      path.starts_with("/Volumes/") || path.find("/AppTranslocation/") != std::string::npos) {
    manual(kManualStandardFolder);
  }
  const std::filesystem::path parent = UpdatePath::standardized(application).parent_path();
  const auto info = lstatPath(parent);
  if (!info || !S_ISDIR(info->st_mode) || !UpdatePath::isFreeOfLinks(parent) ||
      (info->st_mode & S_IWOTH) != 0) {
    manual(kFolderUnsafe);
  }
  if (isSystemApplication(application, locations)) {
    const auto admin = locations.users->groupId(locations.adminGroupName);
    const bool groupWritable = (info->st_mode & S_IWGRP) != 0;
    if (info->st_uid != 0 || (groupWritable && (!admin || info->st_gid != *admin))) {
      manual(kFolderUnsafe);
    }
  } else if (info->st_uid != locations.users->effectiveUserId()) {
    manual(kFolderUnsafe);
  }
  if (writable == WritableCheck::writable) {
    const UpdateVolumes& volumes = volumesOf(locations);
    if (::access(parent.c_str(), W_OK | X_OK) != 0 ||
        ::faccessat(AT_FDCWD, parent.c_str(), W_OK, AT_EACCESS) != 0 ||
        volumes.isReadOnly(parent) || volumes.swapRenaming(parent) != VolumeSupport::supported) {
      manual(kFolderNotWritable);
    }
  }
  return identityOf(*info);
}

UpdateDirectoryIdentity InstallationSecurity::validateDestination(
    const std::filesystem::path& application, const UpdateTeam& team, WritableCheck writable,
    const UpdateLocations& locations) {
  validateApplicationsParent(application, writable, locations);
  const auto info = lstatPath(application);
  const uid_t user = locations.users->effectiveUserId();
  bool ownerAllowed = false;
  if (info && isSystemApplication(application, locations)) {
    // The updater runs as the user, so a copy it swapped into the system folder is the user's:
    // that is accepted from a user of the admin group, who may write the folder anyway.
    const auto admin = locations.users->groupId(locations.adminGroupName);
    ownerAllowed = info->st_uid == 0 ||
                   (info->st_uid == user && admin && locations.users->isMember(user, *admin));
  } else if (info) {
    ownerAllowed = info->st_uid == user;
  }
  if (!info || !S_ISDIR(info->st_mode) || (info->st_mode & S_IWOTH) != 0 || !ownerAllowed) {
    manual(kUnsupportedOwner);
  }
  validateCode(application, kApplication, team);
  validatePinnedKey(application, locations);
  return identityOf(*info);
}

ResolvedDestination InstallationSecurity::resolveDestination(const std::filesystem::path& source,
                                                             const std::filesystem::path& candidate,
                                                             std::string_view version,
                                                             std::string_view architecture,
                                                             const UpdateTeam& team,
                                                             const UpdateLocations& locations) {
  const std::filesystem::path system = UpdateInstallationLocation::systemApplication(locations);
  const auto user = UpdateInstallationLocation::userApplication(locations);
  std::filesystem::path target;
  if (UpdateInstallationLocation::isStandardApplication(source, locations)) {
    target = UpdatePath::standardized(source);
  } else if (pathExists(system)) {
    target = system;
  } else if (user && pathExists(*user)) {
    target = *user;
  } else {
    try {
      validateApplicationsParent(system, WritableCheck::writable, locations);
      target = system;
    } catch (const UpdateFailure&) {
      // An unusable system folder only means the user's own folder is the place.
      prepareUserApplicationsDirectory(locations);
      if (!user) {
        manual(kLocationUnavailable);
      }
      target = *user;
    }
  }

  if (!pathExists(target)) {
    const auto parent = validateApplicationsParent(target, WritableCheck::writable, locations);
    return {target, std::nullopt, parent, UpdateInstallOperation::install, std::string(version)};
  }
  const auto existing = validateDestination(target, team, WritableCheck::readOnly, locations);
  const PlistDictionary metadata = bundleMetadata(target);
  const PlistValue* installedValue = metadata.find("CFBundleShortVersionString");
  const std::string* installed = installedValue ? installedValue->string() : nullptr;
  const auto order =
      installed ? UpdateManifestPolicy::compareVersions(version, *installed) : std::nullopt;
  if (!order) {
    throw UpdateFailure(kInvalidInstalledVersion);
  }
  preserveProfileContract(candidate, target);
  validateArchitecture(target, architecture);
  if (*order > 0) {
    const auto identity = validateDestination(target, team, WritableCheck::writable, locations);
    const auto parent = validateApplicationsParent(target, WritableCheck::writable, locations);
    return {target, identity, parent, UpdateInstallOperation::replace, std::string(version)};
  }
  validateCandidate(target, *installed, team, locations);
  const auto parent = validateApplicationsParent(target, WritableCheck::readOnly, locations);
  return {target, existing, parent, UpdateInstallOperation::openExisting, *installed};
}

void InstallationSecurity::validatePlanDestination(const UpdateInstallPlan& plan,
                                                   const UpdateTeam& team,
                                                   const UpdateLocations& locations) {
  const WritableCheck writable = plan.operation == UpdateInstallOperation::openExisting
                                     ? WritableCheck::readOnly
                                     : WritableCheck::writable;
  if (validateApplicationsParent(plan.target, writable, locations) != plan.parentIdentity) {
    throw UpdateFailure(kFolderChanged);
  }
  if (!plan.targetIdentity) {
    if (plan.operation != UpdateInstallOperation::install || pathExists(plan.target)) {
      throw UpdateFailure(kAnotherInstaller);
    }
    return;
  }
  if (validateDestination(plan.target, team, writable, locations) != *plan.targetIdentity) {
    throw UpdateFailure(kApplicationChanged);
  }
}

}  // namespace orlith
