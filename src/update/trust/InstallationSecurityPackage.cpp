// Package checks of InstallationSecurity: zip extraction into the work root, a bundle's
// Info.plist, the bundle fingerprint and the signed manifest sent with a package.
#include <sys/stat.h>

#include <vector>

#include "base/FileContents.h"
#include "base/Sha256.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateSignatureVerifier.h"
#include "update/trust/UpdateTreeWriter.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr const char* kSecurityCheck = "The update package failed a security check.";
constexpr const char* kUnsafePaths = "The update archive contains unsafe paths.";
constexpr const char* kLinks = "The update archive contains unsupported links.";
constexpr const char* kWrongIdentity = "The update application has the wrong version or identity.";
constexpr const char* kBadExecutable = "The application's executable is invalid.";
constexpr const char* kKeyMissing = "The updater verification key is missing.";
constexpr const char* kMetadataInvalid = "The signed update metadata is invalid.";
constexpr std::size_t kMaximumInfoPlistSize = 1'048'576;

// Components after dropping empty ones; nothing when a component is "..".
std::optional<std::vector<std::string>> components(std::string_view name) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= name.size()) {
    const std::size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = name.substr(start, end - start);
    if (part == "..") {
      return std::nullopt;
    }
    if (!part.empty()) {
      parts.emplace_back(part);
    }
    start = end + 1;
  }
  return parts;
}

bool isUnsafeName(const std::optional<std::string>& name) {
  return !name || name->empty() || name->front() == '/' || name->find('\\') != std::string::npos ||
         !components(*name);
}

// Reader failures are what a listing tool's failed exit was: the package is not trusted.
template <typename Action>
auto guarded(Action&& action) -> decltype(action()) {
  try {
    return action();
  } catch (const UpdateFailure&) {
    throw;
  } catch (const std::exception&) {
    throw UpdateFailure(kSecurityCheck);
  }
}

void checkNames(const std::filesystem::path& package, const UpdateArchiveReader& reader,
                const UpdateExtractionLimits& limits) {
  const auto cursor = guarded([&] { return reader.openZip(package); });
  bool unsafe = false;
  bool links = false;
  std::size_t count = 0;
  std::uint64_t declared = 0;
  while (const auto entry = guarded([&] { return cursor->next(); })) {
    if (++count > limits.maximumEntries) {
      throw UpdateFailure(kSecurityCheck);
    }
    if (entry->size > 0) {
      declared += static_cast<std::uint64_t>(entry->size);
    }
    if (entry->size < 0 || declared > limits.maximumBytes) {
      throw UpdateFailure(kSecurityCheck);
    }
    unsafe = unsafe || isUnsafeName(entry->name) || entry->kind == ArchiveEntryKind::special;
    links = links || entry->kind == ArchiveEntryKind::symbolicLink ||
            entry->kind == ArchiveEntryKind::hardLink;
  }
  if (unsafe) {
    throw UpdateFailure(kUnsafePaths);
  }
  if (links) {
    throw UpdateFailure(kLinks);
  }
}

void writeApplication(const std::filesystem::path& package, const std::filesystem::path& root,
                      const UpdateArchiveReader& reader, const UpdateExtractionLimits& limits) {
  const UniqueFd rootFolder = DescriptorFiles::openDirectory(root.string());
  if (!rootFolder) {
    DescriptorFiles::throwErrno(errno);
  }
  UpdateTreeWriter writer(rootFolder.get());
  const auto cursor = guarded([&] { return reader.openZip(package); });
  std::uint64_t written = 0;
  while (const auto entry = guarded([&] { return cursor->next(); })) {
    // The package may have been swapped since the first pass; nothing unchecked is written.
    const bool plain =
        entry->kind == ArchiveEntryKind::file || entry->kind == ArchiveEntryKind::directory;
    if (isUnsafeName(entry->name) || !plain) {
      throw UpdateFailure(kSecurityCheck);
    }
    auto parts = *components(*entry->name);
    std::erase(parts, ".");
    // Everything else in the archive is allowed but not used: the root's own files stay ours.
    if (parts.size() < 2 || parts.front() != update_wire::kApplicationFileName) {
      continue;
    }
    if (entry->kind == ArchiveEntryKind::directory) {
      writer.makeDirectory(parts);
      continue;
    }
    const TreeFileMode mode =
        (entry->mode & S_IXUSR) != 0 ? TreeFileMode::executable : TreeFileMode::regular;
    written += writer.writeFile(
        parts, mode,
        [&](char* buffer, std::size_t size) {
          return guarded([&] { return cursor->read(buffer, size); });
        },
        limits.maximumBytes - written);
  }
}

}  // namespace

std::filesystem::path InstallationSecurity::extract(
    const std::filesystem::path& package, const std::filesystem::path& root,
    std::string_view version, const UpdateTeam& team, const UpdateArchiveReader& reader,
    const UpdateLocations& locations, const UpdateExtractionLimits& limits) {
  if (package.extension() == ".dmg") {
    throw UpdateFailure(std::string(kDiskImageRefusal));
  }
  checkNames(package, reader, limits);
  try {
    writeApplication(package, root, reader, limits);
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::file_too_large) {
      throw UpdateFailure(kSecurityCheck);
    }
    throw;
  }
  const std::filesystem::path candidate = root / update_wire::kApplicationFileName;
  validateCandidate(candidate, version, team, locations);
  return candidate;
}

PlistDictionary InstallationSecurity::bundleMetadata(const std::filesystem::path& bundle) {
  // One byte over the limit is enough to refuse; readFileContents reports more as EFBIG.
  std::string bytes;
  try {
    bytes = readFileContents(bundle / "Contents" / "Info.plist", kMaximumInfoPlistSize);
  } catch (const std::system_error& error) {
    if (error.code() == std::errc::file_too_large) {
      throw UpdateFailure(kWrongIdentity);
    }
    throw;
  }
  const PlistValue root = parsePropertyList(bytes);
  if (root.dictionary() == nullptr) {
    throw UpdateFailure(kWrongIdentity);
  }
  return *root.dictionary();
}

std::string InstallationSecurity::bundleFingerprint(const std::filesystem::path& bundle) {
  const PlistDictionary metadata = bundleMetadata(bundle);
  const PlistValue* value = metadata.find("CFBundleExecutable");
  const std::string* executable = value ? value->string() : nullptr;
  if (executable == nullptr || executable->empty() || executable->find('/') != std::string::npos ||
      *executable == "." || *executable == "..") {
    throw UpdateFailure(kBadExecutable);
  }
  Sha256 fingerprint;
  for (const std::filesystem::path& file :
       {bundle / "Contents" / "Info.plist", bundle / "Contents" / "MacOS" / *executable,
        bundle / "Contents" / "_CodeSignature" / "CodeResources"}) {
    fingerprint.update(UpdateSignatureVerifier::hashOf(file));
  }
  return fingerprint.finishHex();
}

DesktopUpdateManifest InstallationSecurity::verifiedManifest(std::string_view document,
                                                             std::string_view architecture,
                                                             const UpdateLocations& locations,
                                                             const UpdateTrustedHosts& hosts) {
  // Deliberately the same failure as a missing key: the app sent something no manifest is.
  if (document.size() > update_wire::kMaximumManifestSize) {
    throw UpdateFailure(kKeyMissing);
  }
  const std::optional<std::filesystem::path>& own = locations.ownBundle;
  const std::filesystem::path keyFile =
      own ? *own / "Contents" / "Resources" / update_wire::kPublicKeyResource
          : std::filesystem::path();
  struct stat info {};
  if (!own || ::lstat(keyFile.c_str(), &info) != 0) {
    throw UpdateFailure(kKeyMissing);
  }
  std::string key = readFileContents(keyFile, 64 * 1024);
  const std::size_t first = key.find_first_not_of(" \t\n\r\f\v");
  key = first == std::string::npos
            ? std::string()
            : key.substr(first, key.find_last_not_of(" \t\n\r\f\v") - first + 1);
  const DesktopUpdateManifest outer = DesktopUpdateManifest::decode(document);
  const DesktopUpdateManifest inner = UpdateSignatureVerifier::verify(outer, key, hosts);
  if (!UpdateManifestPolicy::isValid(inner, architecture) || !inner.sha256 ||
      !UpdateSignatureVerifier::validSHA256(*inner.sha256) || !inner.downloadUrl ||
      !UpdateManifestPolicy::trustedDownloadURL(*inner.downloadUrl, hosts)) {
    throw UpdateFailure(kMetadataInvalid);
  }
  return inner;
}

}  // namespace orlith
