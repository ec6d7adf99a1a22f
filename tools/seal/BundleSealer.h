// Seals a bundle for a team: lists its Contents/, writes CodeResources and signs it. Nested
// bundles must be sealed first; links and special files are refused.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "SealingKey.h"
#include "base/Json.h"

namespace orlith {

class BundleSealer final {
 public:
  BundleSealer() = delete;

  // The identifier is the bundle's CFBundleIdentifier. Group and other write bits are cleared
  // first, so a build under a permissive umask still seals. Throws BundleSealError,
  // std::system_error or PropertyListError.
  static void seal(const std::filesystem::path& bundle, const std::string& teamIdentifier,
                   const SealingKey& key, const Json& entitlements);

  // The outer manifest envelope the update check receives, around an inner manifest text.
  static std::string signManifest(std::string_view innerManifest, const SealingKey& key);
};

}  // namespace orlith
