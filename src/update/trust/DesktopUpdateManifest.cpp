// Strict decoding of the update manifest.
#include "update/trust/DesktopUpdateManifest.h"

#include "base/Json.h"

namespace orlith {

DesktopUpdateManifest DesktopUpdateManifest::decode(std::string_view json) {
  const Json document = parseJson(json);
  if (!document.is_object()) {
    throw JsonDecodeError("", "The update manifest is not a JSON object.");
  }
  DesktopUpdateManifest manifest;
  manifest.ok = optionalBool(document, "ok");
  manifest.version = optionalString(document, "version");
  manifest.minimumVersion = optionalString(document, "minimumVersion");
  manifest.downloadUrl = optionalString(document, "downloadUrl");
  manifest.notes = optionalString(document, "notes");
  manifest.sha256 = optionalString(document, "sha256");
  manifest.platform = optionalString(document, "platform");
  manifest.arch = optionalString(document, "arch");
  manifest.signedPayload = optionalString(document, "signedPayload");
  manifest.signature = optionalString(document, "signature");
  return manifest;
}

}  // namespace orlith
