// Checks of the signed manifest envelope, of SHA-256 text, and the digest of a package file.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "update/trust/DesktopUpdateManifest.h"
#include "update/trust/UpdateTrustedHosts.h"

namespace orlith {

class UpdateSignatureVerifier final {
 public:
  UpdateSignatureVerifier() = delete;

  // The inner manifest of a correctly signed outer manifest. publicKey is the base64 text of a
  // raw Ed25519 key. Throws UpdateFailure for a missing or bad key and for a bad signature; an
  // inner payload that is not a manifest throws the decoder's own error.
  static DesktopUpdateManifest verify(const DesktopUpdateManifest& manifest,
                                      const std::optional<std::string>& publicKey,
                                      const UpdateTrustedHosts& hosts);
  static DesktopUpdateManifest verify(const DesktopUpdateManifest& manifest,
                                      const std::optional<std::string>& publicKey);

  // 64 hexadecimal digits, either case.
  static bool validSHA256(std::string_view value);

  // Lower-case hex SHA-256 of a file's contents, read in 1 MiB blocks. Throws std::system_error.
  static std::string hashOf(const std::filesystem::path& file);
};

}  // namespace orlith
