// The signed manifest a release check or the app hands over: decoded, its signature verified
// against a fixed key, its policy applied.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "SealingKey.h"
#include "update/trust/DesktopUpdateManifest.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateSignatureVerifier.h"
#include "update/trust/UpdateTrustedHosts.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::string key = orlith::SealingKey::generate().publicKeyText();
  static const orlith::UpdateTrustedHosts hosts = orlith::UpdateTrustedHosts::forHost("127.0.0.1");
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto outer = orlith::DesktopUpdateManifest::decode(text);
    if (outer.version) {
      orlith::UpdateManifestPolicy::versionComponents(*outer.version);
      orlith::UpdateManifestPolicy::compareVersions(*outer.version, "1.0.0");
    }
    if (outer.downloadUrl) {
      orlith::UpdateManifestPolicy::trustedDownloadURL(*outer.downloadUrl, hosts);
    }
    orlith::UpdateManifestPolicy::isValid(outer, "x64");
    const auto inner = orlith::UpdateSignatureVerifier::verify(outer, key, hosts);
    orlith::UpdateManifestPolicy::isValid(inner, "x64");
  } catch (const std::exception&) {
    // Refusals are the expected answer to most inputs.
  }
  return 0;
}
