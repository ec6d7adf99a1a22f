// The seal that stands in for code signing: Contents/_CodeSignature/CodeResources lists every
// entry under Contents/ with its digest, and CodeSignature is a detached Ed25519 signature over
// those exact bytes, made with the team's key.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/Json.h"
#include "update/trust/UpdateTeam.h"

namespace orlith {

// Why a bundle cannot be sealed or does not match its seal; the text is for the sealing tool.
class BundleSealError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class SealEntryKind { file, directory, bundle, link };

struct SealEntry {
  SealEntryKind kind = SealEntryKind::file;
  std::string digest;  // file: SHA-256 of its bytes; bundle: of its nested CodeResources
  bool executable = false;
  std::string linkTarget;

  bool operator==(const SealEntry&) const = default;
};

// Keyed by the path relative to Contents/, e.g. "MacOS/Orlith".
using SealEntries = std::map<std::string, SealEntry>;

struct BundleSealDocument {
  std::string identifier;
  UpdateTeam team;
  Json entitlements = Json::object();
  SealEntries files;

  std::string encode() const;
  // Throws JsonDecodeError for anything but the exact format.
  static BundleSealDocument decode(std::string_view json);
};

enum class SealLinkPolicy { allowRelative, refuse };

class BundleSeal final {
 public:
  BundleSeal() = delete;

  static constexpr std::string_view kResourcesPath = "_CodeSignature/CodeResources";
  static constexpr std::string_view kSignaturePath = "_CodeSignature/CodeSignature";
  static constexpr std::size_t kMaximumResourcesSize = 8 * 1024 * 1024;

  // A ten-character identifier of [0-9A-Z] and a key that is strict base64 of 32 bytes.
  static bool isWellFormed(const UpdateTeam& team);
  // A folder named "*.app" or "*.xpc" inside Contents/ is a nested bundle with a seal of its own.
  static bool isNestedBundleName(std::string_view name);

  // The entries of the bundle's Contents/ as a seal lists them, walked by descriptor without
  // following links. Throws BundleSealError for what no seal may hold: anything beside Contents/,
  // a device, FIFO or socket, a setuid, setgid, group- or world-writable entry, an absolute link
  // or one that leaves Contents/ (and any link under SealLinkPolicy::refuse).
  static SealEntries describe(const std::filesystem::path& bundle, SealLinkPolicy links);

  // The bundle's CodeResources, decoded but not verified; nothing when it is missing, too large or
  // not the format.
  static std::optional<BundleSealDocument> readUnverified(const std::filesystem::path& bundle);

  // The document of a bundle whose seal is intact, signed by the team's key, names this identifier
  // and team, and matches every entry, with every nested bundle intact for the same team. Throws
  // BundleSealError otherwise.
  static BundleSealDocument verify(const std::filesystem::path& bundle, std::string_view identifier,
                                   const UpdateTeam& team);
};

}  // namespace orlith
