// The update manifest the service publishes, read from JSON. Every field is optional; a value of
// the wrong JSON type fails the whole decode.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orlith {

struct DesktopUpdateManifest {
  std::optional<bool> ok;
  std::optional<std::string> version;
  std::optional<std::string> minimumVersion;
  std::optional<std::string> downloadUrl;
  std::optional<std::string> notes;
  std::optional<std::string> sha256;
  std::optional<std::string> platform;
  std::optional<std::string> arch;
  std::optional<std::string> signedPayload;
  std::optional<std::string> signature;

  // Throws JsonDecodeError for text that is not a JSON object and for a value of the wrong
  // type. Null means absent; unknown keys are ignored.
  static DesktopUpdateManifest decode(std::string_view json);

  bool operator==(const DesktopUpdateManifest&) const = default;
};

}  // namespace orlith
