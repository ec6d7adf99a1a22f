// Fixture bundles for the trust tests: app bundles with their nested service and updater,
// sealed with a fresh team key by the real sealing code, and small ELF headers.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "BundleSealer.h"
#include "SealingKey.h"
#include "base/Json.h"
#include "update/trust/UpdateTeam.h"

namespace orlith::test {

inline void writeFile(const std::filesystem::path& file, const std::string& bytes,
                      mode_t mode = 0644) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
  ::chmod(file.c_str(), mode);
}

inline std::string readFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The first bytes of a 64-bit little-endian ELF file for the machine (62 x86-64, 183 AArch64).
inline std::string elfHeader(unsigned machine, unsigned char elfClass = 2) {
  std::string header(64, '\0');
  header[0] = 0x7f;
  header[1] = 'E';
  header[2] = 'L';
  header[3] = 'F';
  header[4] = static_cast<char>(elfClass);
  header[5] = 1;  // little-endian
  header[6] = 1;
  header[16] = 2;  // ET_EXEC
  header[18] = static_cast<char>(machine & 0xff);
  header[19] = static_cast<char>(machine >> 8);
  return header;
}

struct BundleSpec {
  std::string identifier = "com.tolvik.orlith.mac";
  std::string executable = "Orlith";
  std::string version = "1.0.0";
  std::optional<std::string> pinnedKey;  // OrlithUpdatePublicKey
  std::string program = elfHeader(62);
  std::optional<std::string> resourceKey;  // Resources/UpdatePublicKey.txt
};

inline BundleSpec helperSpec(std::string identifier, std::string executable,
                             std::optional<std::string> resourceKey = std::nullopt) {
  BundleSpec spec;
  spec.identifier = std::move(identifier);
  spec.executable = std::move(executable);
  spec.resourceKey = std::move(resourceKey);
  return spec;
}

inline std::string infoPlist(const BundleSpec& spec) {
  std::string plist =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
      "<key>CFBundleIdentifier</key><string>" +
      spec.identifier + "</string>\n<key>CFBundleExecutable</key><string>" + spec.executable +
      "</string>\n<key>CFBundleShortVersionString</key><string>" + spec.version + "</string>\n";
  if (spec.pinnedKey) {
    plist += "<key>OrlithUpdatePublicKey</key><string>" + *spec.pinnedKey + "</string>\n";
  }
  return plist + "</dict>\n</plist>\n";
}

inline void makeBundle(const std::filesystem::path& bundle, const BundleSpec& spec) {
  writeFile(bundle / "Contents/Info.plist", infoPlist(spec));
  writeFile(bundle / "Contents/MacOS" / spec.executable, spec.program, 0755);
  std::filesystem::create_directories(bundle / "Contents/Resources");
  if (spec.resourceKey) {
    writeFile(bundle / "Contents/Resources/UpdatePublicKey.txt", *spec.resourceKey);
  }
}

inline Json applicationEntitlements(const std::string& teamId) {
  return Json{{"com.apple.security.app-sandbox", true},
              {"keychain-access-groups", Json::array({teamId + ".com.tolvik.orlith.mac"})},
              {"com.apple.application-identifier", teamId + ".com.tolvik.orlith.mac"}};
}

class TestTeam {
 public:
  explicit TestTeam(std::string id = "ABCDE12345") : id_(std::move(id)) {}

  const std::string& id() const { return id_; }
  const SealingKey& key() const { return key_; }
  UpdateTeam team() const { return {id_, key_.publicKeyText()}; }
  void seal(const std::filesystem::path& bundle, const Json& entitlements = Json::object()) const {
    BundleSealer::seal(bundle, id_, key_, entitlements);
  }

  // Orlith.app with its sealed service and updater inside, the app sealed last.
  void makeApplication(const std::filesystem::path& app, BundleSpec spec,
                       const std::optional<Json>& entitlements = std::nullopt) const {
    makeBundle(app, spec);
    const auto installer = app / "Contents/XPCServices/OrlithUpdateInstaller.xpc";
    const auto updater = app / "Contents/Helpers/OrlithUpdater.app";
    makeBundle(installer, helperSpec("com.tolvik.orlith.mac.UpdateInstaller",
                                     "OrlithUpdateInstaller", spec.pinnedKey));
    makeBundle(updater,
               helperSpec("com.tolvik.orlith.mac.Updater", "OrlithUpdater", spec.pinnedKey));
    seal(installer);
    seal(updater);
    seal(app, entitlements.value_or(applicationEntitlements(id_)));
  }

 private:
  std::string id_;
  SealingKey key_ = SealingKey::generate();
};

}  // namespace orlith::test
