// Makes a sealed, signed test release from a sealed app bundle: the same app as a newer version,
// sealed again by the team, zipped, and described by a manifest signed with the update key.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "SealingKey.h"
#include "base/Json.h"

namespace orlith {

struct ReleaseRequest {
  std::filesystem::path application;  // a sealed Orlith.app; it is left as it is
  std::string version;                // empty: the app's version with its patch number raised
  std::string teamIdentifier;
  const SealingKey& teamKey;
  Json entitlements;
  const SealingKey& signingKey;
  std::string downloadBase;  // the package's address is this followed by its file name
  std::filesystem::path output;
};

struct Release {
  std::string version;
  std::filesystem::path bundle;    // output/Orlith.app
  std::filesystem::path package;   // output/Orlith-<version>.zip
  std::filesystem::path manifest;  // output/manifest.json, the signed outer manifest
};

class ReleaseBuilder {
 public:
  // Throws std::runtime_error (or the sealer's errors) when any step fails.
  static Release build(const ReleaseRequest& request);

  // "1.0.9" for "1.0.8"; throws for text that is not a version.
  static std::string nextPatchVersion(std::string_view version);
};

}  // namespace orlith
