// Pure checks of an update manifest: version strings and their order, whether a manifest suits
// this platform and architecture, and whether a download address is on a trusted host.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/Url.h"
#include "update/trust/DesktopUpdateManifest.h"
#include "update/trust/UpdateTrustedHosts.h"

namespace orlith {

class UpdateManifestPolicy final {
 public:
  UpdateManifestPolicy() = delete;

  using VersionComponents = std::array<std::int64_t, 3>;

  // Exactly three dot-separated ASCII decimal numbers without leading zeros, each within int64.
  static std::optional<VersionComponents> versionComponents(std::string_view version);
  // -1, 0 or 1 as lhs is older, equal or newer; nothing when either is not a version.
  static std::optional<int> compareVersions(std::string_view lhs, std::string_view rhs);
  // architecture is the caller's own word, "x64" or "arm64".
  static bool isValid(const DesktopUpdateManifest& manifest, std::string_view architecture);
  // The address exactly as written when it is an https address on a trusted host, on the
  // default port (or, in a local-origin build, the origin's own port on its host), with no user
  // information and no fragment.
  static std::optional<Url> trustedDownloadURL(std::string_view text,
                                               const UpdateTrustedHosts& hosts);
  static std::optional<Url> trustedDownloadURL(std::string_view text);
  // The extension of the last component of a URL's decoded path, as written: nothing without a
  // dot, for a dot-file, after a trailing "/", or for text that is not a URL.
  static std::optional<std::string> pathExtension(std::string_view url);
};

}  // namespace orlith
