// Bundle sealing and manifest signing.
#include "BundleSealer.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <system_error>

#include "base/BundleInfo.h"
#include "base/FileContents.h"
#include "update/trust/AtomicFile.h"
#include "update/trust/BundleSeal.h"
#include "update/trust/StrictBase64.h"
#include "update/trust/UpdateTeam.h"

namespace orlith {
namespace {

void clearForeignWriteBits(const std::filesystem::path& contents) {
  namespace fs = std::filesystem;
  const auto foreign = fs::perms::group_write | fs::perms::others_write;
  for (auto it = fs::recursive_directory_iterator(contents); it != fs::end(it); ++it) {
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      throw BundleSealError(it->path().string() + ": symbolic links cannot be sealed");
    }
    if ((status.permissions() & foreign) != fs::perms::none) {
      fs::permissions(it->path(), foreign, fs::perm_options::remove);
    }
  }
}

}  // namespace

void BundleSealer::seal(const std::filesystem::path& bundle, const std::string& teamIdentifier,
                        const SealingKey& key, const Json& entitlements) {
  const UpdateTeam team{teamIdentifier, key.publicKeyText()};
  if (!BundleSeal::isWellFormed(team)) {
    throw BundleSealError("the team identifier must be ten characters of 0-9 and A-Z");
  }
  if (!entitlements.is_object()) {
    throw BundleSealError("entitlements must be a JSON object");
  }
  const auto identifier = BundleInfo::load(bundle).identifier();
  if (!identifier) {
    throw BundleSealError(bundle.string() + ": Info.plist has no CFBundleIdentifier");
  }
  const std::filesystem::path contents = bundle / "Contents";
  const std::filesystem::path signatureFolder = contents / "_CodeSignature";
  std::filesystem::create_directory(signatureFolder);
  std::filesystem::permissions(signatureFolder, std::filesystem::perms(0755));
  clearForeignWriteBits(contents);

  BundleSealDocument document;
  document.identifier = *identifier;
  document.team = team;
  document.entitlements = entitlements;
  document.files = BundleSeal::describe(bundle, SealLinkPolicy::refuse);
  const std::string resources = document.encode();
  // An unchanged bundle keeps its seal, so that a rebuild which changed nothing changes nothing.
  try {
    BundleSeal::verify(bundle, document.identifier, team);
    if (readFileContents(signatureFolder / "CodeResources", BundleSeal::kMaximumResourcesSize) ==
        resources) {
      return;
    }
  } catch (const std::exception&) {
    // Not sealed, or sealed otherwise: seal it now.
  }
  AtomicFile::write(signatureFolder, "CodeResources", resources, 0644);
  AtomicFile::write(signatureFolder, "CodeSignature", key.sign(resources), 0644);
}

std::string BundleSealer::signManifest(std::string_view innerManifest, const SealingKey& key) {
  return Json{{"ok", true},
              {"signedPayload", std::string(innerManifest)},
              {"signature", StrictBase64::encode(key.sign(innerManifest))}}
      .dump();
}

}  // namespace orlith
