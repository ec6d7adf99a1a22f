// Values of the update machinery that other programs and the service rely on, in one place:
// manifest words, bundle identifiers, file, marker and bundle names, and the updater's error
// prefix.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace orlith::update_wire {

// Manifest words. The service cannot tell this client from the Mac one, by design.
inline constexpr std::string_view kPlatform = "darwin";
inline constexpr std::string_view kArchitectureX64 = "x64";
inline constexpr std::string_view kArchitectureArm64 = "arm64";
inline constexpr std::string_view kArchitectureUniversal = "universal";

#if defined(__x86_64__)
inline constexpr std::string_view kOwnArchitecture = kArchitectureX64;
#elif defined(__aarch64__)
inline constexpr std::string_view kOwnArchitecture = kArchitectureArm64;
#else
#error "Updates are built for x86-64 and arm64 only."
#endif

// Identifiers of the three signed programs.
inline constexpr std::string_view kApplicationIdentifier = "com.tolvik.orlith.mac";
inline constexpr std::string_view kServiceIdentifier = "com.tolvik.orlith.mac.UpdateInstaller";
inline constexpr std::string_view kHelperIdentifier = "com.tolvik.orlith.mac.Updater";

// Bundle and folder names.
inline constexpr std::string_view kApplicationFileName = "Orlith.app";
inline constexpr std::string_view kApplicationsFolderName = "Applications";
inline constexpr std::string_view kSystemApplicationsFolder = "/opt/Applications";
inline constexpr std::string_view kAdminGroupName = "sudo";
inline constexpr std::string_view kWorkRootPrefix = "OrlithUpdate-";
inline constexpr std::string_view kStagedCopyPrefix = ".Orlith-update-";
inline constexpr std::string_view kPreviousCopyPrefix = ".Orlith-previous-";
inline constexpr std::string_view kPublicKeyResource = "UpdatePublicKey.txt";

// Entries of a work root.
inline constexpr std::string_view kPlanFileName = "InstallPlan.json";
inline constexpr std::string_view kPackageFilePrefix = "Package.";
inline constexpr std::string_view kMountedFolderName = "Mounted";
inline constexpr std::string_view kPreparedMarker = "Prepared";
inline constexpr std::string_view kCommittedMarker = "Committed";
inline constexpr std::string_view kCancelledMarker = "Cancelled";

// Sizes.
inline constexpr std::uint64_t kMaximumPackageSize = 262'144'000;
inline constexpr std::uint64_t kMaximumManifestSize = 262'144;
inline constexpr std::uint64_t kMaximumPlanFileSize = 1'048'575;
inline constexpr std::size_t kHashBlockSize = 1'048'576;

// The one line the updater writes to standard error when it fails.
inline constexpr std::string_view kUpdaterFailurePrefix = "Orlith installation did not complete: ";

}  // namespace orlith::update_wire
