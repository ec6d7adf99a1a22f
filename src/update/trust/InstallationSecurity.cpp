// Code trust: own team, bundle seals, callers and running sources, architectures, the pinned
// update key and the profile contract.
#include "update/trust/InstallationSecurity.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <vector>

#include "base/BundleInfo.h"
#include "base/FileContents.h"
#include "update/trust/BundleSeal.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/ElfArchitecture.h"
#include "update/trust/ProcessTable.h"
#include "update/trust/StrictBase64.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateInstallerIdentity.h"
#include "update/trust/UpdatePath.h"
#include "update/trust/UpdateWire.h"

// Linux 6.5 added it; older headers lack the number.
#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace orlith {
namespace {

constexpr const char* kSignatureUnreadable =
    "The update application's signature could not be read.";
constexpr const char* kOwnSignatureInvalid = "The updater's code signature is invalid.";
constexpr const char* kRequirementInvalid = "The updater trust requirement is invalid.";
constexpr const char* kCodeVerificationFailed = "The update failed code signature verification.";
constexpr const char* kNotCurrentUser = "The update caller is not the current user.";
constexpr const char* kCallerInvalid = "The update caller's signature is invalid.";
constexpr const char* kHandoffInvalid = "The application restart handoff is invalid.";
constexpr const char* kOtherCopy =
    "Close the other running Orlith copy before installing this update.";
constexpr const char* kCallerGone = "The update caller is no longer running.";
constexpr const char* kCallerArchitecture = "The update caller has an unsupported architecture.";
constexpr const char* kBundleArchitecture =
    "The update application does not support this architecture.";
constexpr const char* kKeyMissing = "The updater verification key is missing.";
constexpr const char* kKeyInvalid = "The updater verification key is invalid.";
constexpr const char* kKeyChanged = "The application's update verification key has changed.";
constexpr const char* kContractUnreadable = "The application's sandbox contract could not be read.";
constexpr const char* kSandboxChanged = "The update would change the application's sandbox.";
constexpr const char* kProfileChanged = "The update would change the saved-profile trust contract.";
constexpr const char* kWrongIdentity = "The update application has the wrong version or identity.";

constexpr std::size_t kMaximumKeyFileSize = 64 * 1024;
constexpr std::array<std::string_view, 3> kProfileContractKeys = {
    "com.apple.security.app-sandbox", "keychain-access-groups", "com.apple.application-identifier"};

const std::string kApplication(UpdateInstallerIdentity::kApplication);

bool isDirectory(const std::filesystem::path& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

BundleSealDocument verifiedSeal(const std::filesystem::path& bundle, std::string_view identifier,
                                const UpdateTeam& team) {
  if (!isDirectory(bundle)) {
    throw UpdateFailure(kSignatureUnreadable);
  }
  if (!BundleSeal::isWellFormed(team)) {
    throw UpdateFailure(kRequirementInvalid);
  }
  try {
    return BundleSeal::verify(bundle, identifier, team);
  } catch (const BundleSealError&) {
    throw UpdateFailure(kCodeVerificationFailed);
  } catch (const std::system_error&) {
    throw UpdateFailure(kCodeVerificationFailed);
  }
}

// The running program of a live process is the sealed executable of an app bundle of the team,
// proven by hashing the running inode and by the pidfd still being live afterwards.
std::filesystem::path guestBundle(const PinnedProcess& process, const UpdateTeam& team) {
  if (process.isTerminated()) {
    throw UpdateFailure(kCallerInvalid);
  }
  const auto executable = process.executable();
  const auto bundle = executable ? ProcessTable::bundleOfExecutable(*executable) : std::nullopt;
  if (!bundle) {
    throw UpdateFailure(kCallerInvalid);
  }
  BundleSealDocument document;
  try {
    document = verifiedSeal(*bundle, kApplication, team);
  } catch (const UpdateFailure&) {
    throw UpdateFailure(kCallerInvalid);
  }
  const auto entry = document.files.find("MacOS/" + executable->filename().string());
  const UniqueFd running = process.openExecutable();
  if (entry == document.files.end() || entry->second.kind != SealEntryKind::file || !running) {
    throw UpdateFailure(kCallerInvalid);
  }
  try {
    if (DescriptorFiles::sha256Of(running.get()) != entry->second.digest) {
      throw UpdateFailure(kCallerInvalid);
    }
  } catch (const std::system_error&) {
    throw UpdateFailure(kCallerInvalid);
  }
  if (process.isTerminated()) {
    throw UpdateFailure(kCallerInvalid);
  }
  return *bundle;
}

Json sealEntitlements(const std::filesystem::path& bundle) {
  if (!isDirectory(bundle)) {
    throw UpdateFailure(kSignatureUnreadable);
  }
  const auto document = BundleSeal::readUnverified(bundle);
  if (!document || !document->entitlements.is_object()) {
    throw UpdateFailure(kContractUnreadable);
  }
  return document->entitlements;
}

std::string_view trimAsciiWhitespace(std::string_view text) {
  constexpr std::string_view kWhitespace = " \t\n\r\f\v";
  const std::size_t first = text.find_first_not_of(kWhitespace);
  if (first == std::string_view::npos) {
    return {};
  }
  const std::size_t last = text.find_last_not_of(kWhitespace);
  return text.substr(first, last - first + 1);
}

std::optional<std::string> plistString(const PlistDictionary& dictionary, std::string_view key) {
  const PlistValue* value = dictionary.find(key);
  if (value == nullptr || value->string() == nullptr) {
    return std::nullopt;
  }
  return *value->string();
}

}  // namespace

UpdateTeam InstallationSecurity::ownTeam(const UpdateLocations& locations) {
  if (!locations.ownBundle) {
    throw UpdateFailure(kSignatureUnreadable);
  }
  const auto document = BundleSeal::readUnverified(*locations.ownBundle);
  if (!document || !BundleSeal::isWellFormed(document->team)) {
    throw UpdateFailure(kOwnSignatureInvalid);
  }
  std::string identifier;
  try {
    identifier = BundleInfo::load(*locations.ownBundle).identifier().value_or("");
  } catch (const std::exception&) {
    // A bundle without a readable identifier is checked against the empty one, and fails.
    identifier.clear();
  }
  validateCode(*locations.ownBundle, identifier, document->team);
  return document->team;
}

void InstallationSecurity::validateCode(const std::filesystem::path& bundle,
                                        std::string_view identifier, const UpdateTeam& team) {
  verifiedSeal(bundle, identifier, team);
}

AuthenticatedCaller InstallationSecurity::authenticatedCaller(int connection,
                                                              const UpdateTeam& team) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
      size != sizeof credentials || credentials.uid != ::geteuid()) {
    throw UpdateFailure(kNotCurrentUser);
  }
  // SO_PEERPIDFD names the peer itself. Without it the pid from SO_PEERCRED is pinned now; a
  // peer that exited before this line and whose pid was reused already is still caught, because
  // the reuser is not a sealed copy of the app or, if it is, it is a genuine one.
  int pidfd = -1;
  socklen_t pidfdSize = sizeof pidfd;
  std::optional<PinnedProcess> process;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &pidfdSize) == 0 && pidfd >= 0) {
    process.emplace(credentials.pid, UniqueFd(pidfd));
  } else if (errno == ENOPROTOOPT || errno == EINVAL) {
    process = PinnedProcess::open(credentials.pid);
  }
  if (!process) {
    throw UpdateFailure(kCallerInvalid);
  }
  std::filesystem::path bundle = guestBundle(*process, team);
  validateCode(bundle, kApplication, team);
  return {std::move(bundle), std::move(*process)};
}

void InstallationSecurity::validateRunningSource(const std::filesystem::path& source,
                                                 const PinnedProcess& process,
                                                 const UpdateTeam& team) {
  if (process.isTerminated()) {
    throw UpdateFailure(kHandoffInvalid);
  }
  const auto bundle = ProcessTable::bundleOf(process);
  const auto resolved = bundle ? UpdatePath::resolvingSymlinks(*bundle) : std::nullopt;
  if (!resolved || *resolved != UpdatePath::standardized(source)) {
    throw UpdateFailure(kHandoffInvalid);
  }
  guestBundle(process, team);
  validateCode(source, kApplication, team);
}

void InstallationSecurity::validateRunningSource(const std::filesystem::path& source, pid_t pid,
                                                 const UpdateTeam& team) {
  const auto process = PinnedProcess::open(pid);
  if (!process) {
    throw UpdateFailure(kHandoffInvalid);
  }
  validateRunningSource(source, *process, team);
}

std::vector<pid_t> InstallationSecurity::runningApplications(const UpdateLocations& locations) {
  std::vector<pid_t> running = ProcessTable::processesOfBundle(kApplication, ::geteuid());
  if (locations.instanceScope) {
    std::erase_if(running, [&](pid_t pid) {
      const auto process = PinnedProcess::open(pid);
      const auto bundle = process ? ProcessTable::bundleOf(*process) : std::nullopt;
      return !bundle || !UpdatePath::isWithin(*bundle, *locations.instanceScope);
    });
  }
  return running;
}

void InstallationSecurity::refuseOtherApplicationInstances(pid_t sourcePID,
                                                           const UpdateLocations& locations) {
  for (const pid_t pid : runningApplications(locations)) {
    if (pid != sourcePID) {
      throw UpdateFailure(kOtherCopy);
    }
  }
}

std::string InstallationSecurity::callerArchitecture(pid_t pid) {
  const auto process = PinnedProcess::open(pid);
  if (!process || process->isTerminated()) {
    throw UpdateFailure(kCallerGone);
  }
  const UniqueFd program = process->openExecutable();
  const auto architecture =
      program ? ElfArchitecture::ofFile(program.get()) : std::optional<std::string_view>();
  if (process->isTerminated()) {
    throw UpdateFailure(kCallerGone);
  }
  if (!architecture) {
    throw UpdateFailure(kCallerArchitecture);
  }
  return std::string(*architecture);
}

void InstallationSecurity::validateArchitecture(const std::filesystem::path& bundle,
                                                std::string_view architecture) {
  if (architecture != update_wire::kArchitectureArm64 &&
      architecture != update_wire::kArchitectureX64) {
    throw UpdateFailure(kBundleArchitecture);
  }
  std::optional<std::string> executable;
  try {
    executable = BundleInfo::load(bundle).executableName();
  } catch (const std::exception&) {
    throw UpdateFailure(kBundleArchitecture);
  }
  if (!executable || executable->empty() || executable->find('/') != std::string::npos ||
      *executable == "." || *executable == "..") {
    throw UpdateFailure(kBundleArchitecture);
  }
  const UniqueFd folder = DescriptorFiles::openDirectory((bundle / "Contents" / "MacOS").string());
  const UniqueFd program =
      folder ? DescriptorFiles::openRegularFile(folder.get(), *executable) : UniqueFd();
  const auto found =
      program ? ElfArchitecture::ofFile(program.get()) : std::optional<std::string_view>();
  if (!found || *found != architecture) {
    throw UpdateFailure(kBundleArchitecture);
  }
}

std::string InstallationSecurity::updatePublicKey(const UpdateLocations& locations) {
  if (!locations.ownBundle) {
    throw UpdateFailure(kKeyMissing);
  }
  const std::filesystem::path file =
      *locations.ownBundle / "Contents" / "Resources" / update_wire::kPublicKeyResource;
  struct stat info {};
  if (::lstat(file.c_str(), &info) != 0) {
    throw UpdateFailure(kKeyMissing);
  }
  const std::string text = readFileContents(file, kMaximumKeyFileSize);
  const std::string trimmed(trimAsciiWhitespace(text));
  const auto key = StrictBase64::decode(trimmed);
  if (!key || key->size() != 32) {
    throw UpdateFailure(kKeyInvalid);
  }
  return trimmed;
}

void InstallationSecurity::validatePinnedKey(const std::filesystem::path& bundle,
                                             const UpdateLocations& locations) {
  const PlistDictionary metadata = bundleMetadata(bundle);
  const auto pinned = plistString(metadata, "OrlithUpdatePublicKey");
  const std::string key = updatePublicKey(locations);
  if (!pinned || *pinned != key) {
    throw UpdateFailure(kKeyChanged);
  }
}

void InstallationSecurity::preserveProfileContract(const std::filesystem::path& candidate,
                                                   const std::filesystem::path& target) {
  const Json installed = sealEntitlements(target);
  const Json offered = sealEntitlements(candidate);
  const auto sandbox = offered.find(kProfileContractKeys[0]);
  if (sandbox == offered.end() || !sandbox->is_boolean() || !sandbox->get<bool>()) {
    throw UpdateFailure(kSandboxChanged);
  }
  for (const std::string_view key : kProfileContractKeys) {
    const auto before = installed.find(key);
    const auto after = offered.find(key);
    const bool hadIt = before != installed.end();
    const bool hasIt = after != offered.end();
    if (hadIt != hasIt || (hadIt && *before != *after)) {
      throw UpdateFailure(kProfileChanged);
    }
  }
}

void InstallationSecurity::validateCandidate(const std::filesystem::path& candidate,
                                             std::string_view version, const UpdateTeam& team,
                                             const UpdateLocations& locations) {
  validateCode(candidate, kApplication, team);
  const PlistDictionary metadata = bundleMetadata(candidate);
  if (plistString(metadata, "CFBundleIdentifier") != kApplication ||
      plistString(metadata, "CFBundleShortVersionString") != std::string(version)) {
    throw UpdateFailure(kWrongIdentity);
  }
  validatePinnedKey(candidate, locations);
  // No separate assessment follows: the seal check above is the platform's assessment here.
}

}  // namespace orlith
