// The checks that decide whether code, bundles, processes, packages and places may take part in
// an update, shared by the installer service and the updater. Every check returns or throws
// UpdateFailure; platform errors (std::system_error, PropertyListError, JsonDecodeError) pass
// through where noted.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/PropertyList.h"
#include "update/trust/DesktopUpdateManifest.h"
#include "update/trust/PinnedProcess.h"
#include "update/trust/UpdateArchiveReader.h"
#include "update/trust/UpdateDirectoryIdentity.h"
#include "update/trust/UpdateInstallOperation.h"
#include "update/trust/UpdateInstallPlan.h"
#include "update/trust/UpdateLocations.h"
#include "update/trust/UpdateTeam.h"
#include "update/trust/UpdateTrustedHosts.h"

namespace orlith {

struct AuthenticatedCaller {
  std::filesystem::path bundle;
  // Pinned at accept; later checks of the same caller use it, never the bare pid.
  PinnedProcess process;
};

struct ResolvedDestination {
  std::filesystem::path target;
  std::optional<UpdateDirectoryIdentity> targetIdentity;  // nothing for install
  UpdateDirectoryIdentity parentIdentity;
  UpdateInstallOperation operation = UpdateInstallOperation::install;
  std::string version;  // the version the target will hold
};

struct UpdateExtractionLimits {
  std::uint64_t maximumBytes = 2'147'483'648;  // unpacked, all entries together
  std::size_t maximumEntries = 100'000;
};

enum class WritableCheck { readOnly, writable };

class InstallationSecurity final {
 public:
  InstallationSecurity() = delete;

  // Why a disk-image package is refused; the app says the same before it downloads one.
  static constexpr std::string_view kDiskImageRefusal =
      "Disk image updates can't be installed on Linux.";

  // --- Code trust and callers -------------------------------------------------------------

  // The team of the running program's own verified seal (locations.ownBundle).
  static UpdateTeam ownTeam(const UpdateLocations& locations = UpdateLocations::system());
  static void validateCode(const std::filesystem::path& bundle, std::string_view identifier,
                           const UpdateTeam& team);
  // The app at the other end of a connected Unix socket: same user, its running program the
  // sealed executable of its bundle, the app's identifier and this team.
  static AuthenticatedCaller authenticatedCaller(int connection, const UpdateTeam& team);
  // That the process runs the app bundle at source (links resolved) and is sealed by the team.
  static void validateRunningSource(const std::filesystem::path& source,
                                    const PinnedProcess& process, const UpdateTeam& team);
  static void validateRunningSource(const std::filesystem::path& source, pid_t pid,
                                    const UpdateTeam& team);
  // The running copies of the app of this user (within the locations' instance scope).
  static std::vector<pid_t> runningApplications(
      const UpdateLocations& locations = UpdateLocations::system());
  static void refuseOtherApplicationInstances(
      pid_t sourcePID, const UpdateLocations& locations = UpdateLocations::system());
  // "x64" or "arm64", from the ELF header of the running program.
  static std::string callerArchitecture(pid_t pid);
  static void validateArchitecture(const std::filesystem::path& bundle,
                                   std::string_view architecture);
  // The own bundle's Resources/UpdatePublicKey.txt, ASCII whitespace trimmed.
  static std::string updatePublicKey(const UpdateLocations& locations = UpdateLocations::system());
  static void validatePinnedKey(const std::filesystem::path& bundle,
                                const UpdateLocations& locations = UpdateLocations::system());
  // Both bundles' seal entitlements, the target's read first.
  static void preserveProfileContract(const std::filesystem::path& candidate,
                                      const std::filesystem::path& target);
  static void validateCandidate(const std::filesystem::path& candidate, std::string_view version,
                                const UpdateTeam& team,
                                const UpdateLocations& locations = UpdateLocations::system());

  // --- Work root and destinations ----------------------------------------------------------

  static void validatePrivateRoot(const std::filesystem::path& root,
                                  const UpdateLocations& locations = UpdateLocations::system());
  static UpdateDirectoryIdentity fileIdentity(
      const std::filesystem::path& path,
      const UpdateLocations& locations = UpdateLocations::system());
  static UpdateDirectoryIdentity directoryIdentity(const std::filesystem::path& path);
  static bool pathExists(const std::filesystem::path& path);
  static void prepareUserApplicationsDirectory(
      const UpdateLocations& locations = UpdateLocations::system());
  static UpdateDirectoryIdentity validateApplicationsParent(
      const std::filesystem::path& application, WritableCheck writable,
      const UpdateLocations& locations = UpdateLocations::system());
  static UpdateDirectoryIdentity validateDestination(
      const std::filesystem::path& application, const UpdateTeam& team, WritableCheck writable,
      const UpdateLocations& locations = UpdateLocations::system());
  static ResolvedDestination resolveDestination(
      const std::filesystem::path& source, const std::filesystem::path& candidate,
      std::string_view version, std::string_view architecture, const UpdateTeam& team,
      const UpdateLocations& locations = UpdateLocations::system());
  static void validatePlanDestination(const UpdateInstallPlan& plan, const UpdateTeam& team,
                                      const UpdateLocations& locations = UpdateLocations::system());

  // --- Packages ----------------------------------------------------------------------------

  // Unpacks a zip into root and returns the verified root/Orlith.app. Only entries under
  // "Orlith.app/" are written, so the root's own files can never be planted or overwritten.
  // A disk image is refused before anything is touched.
  static std::filesystem::path extract(const std::filesystem::path& package,
                                       const std::filesystem::path& root, std::string_view version,
                                       const UpdateTeam& team, const UpdateArchiveReader& reader,
                                       const UpdateLocations& locations = UpdateLocations::system(),
                                       const UpdateExtractionLimits& limits = {});
  static PlistDictionary bundleMetadata(const std::filesystem::path& bundle);
  static std::string bundleFingerprint(const std::filesystem::path& bundle);
  static DesktopUpdateManifest verifiedManifest(
      std::string_view document, std::string_view architecture,
      const UpdateLocations& locations = UpdateLocations::system(),
      const UpdateTrustedHosts& hosts = UpdateTrustedHosts::ofBuild());
};

}  // namespace orlith
