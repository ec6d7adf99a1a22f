// Signed manifest envelope and package digest.
#include "update/trust/UpdateSignatureVerifier.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include "base/Sha256.h"
#include "update/trust/Ed25519.h"
#include "update/trust/StrictBase64.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr const char* kSignatureFailure = "This update failed signature verification.";

}  // namespace

DesktopUpdateManifest UpdateSignatureVerifier::verify(const DesktopUpdateManifest& manifest,
                                                      const std::optional<std::string>& publicKey,
                                                      const UpdateTrustedHosts& hosts) {
  const auto key = publicKey ? StrictBase64::decode(*publicKey) : std::nullopt;
  if (!key || !Ed25519::isValidPublicKey(*key)) {
    throw UpdateFailure("Update verification isn't configured. Visit " + hosts.downloadPage() +
                        ".");
  }
  if (!manifest.signedPayload || manifest.signedPayload->empty() || !manifest.signature) {
    throw UpdateFailure(kSignatureFailure);
  }
  const auto signature = StrictBase64::decode(*manifest.signature);
  if (!signature || !Ed25519::verify(*key, *manifest.signedPayload, *signature)) {
    throw UpdateFailure(kSignatureFailure);
  }
  return DesktopUpdateManifest::decode(*manifest.signedPayload);
}

DesktopUpdateManifest UpdateSignatureVerifier::verify(const DesktopUpdateManifest& manifest,
                                                      const std::optional<std::string>& publicKey) {
  return verify(manifest, publicKey, UpdateTrustedHosts::ofBuild());
}

bool UpdateSignatureVerifier::validSHA256(std::string_view value) {
  if (value.size() != 64) {
    return false;
  }
  for (const char c : value) {
    const bool hex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!hex) {
      return false;
    }
  }
  return true;
}

std::string UpdateSignatureVerifier::hashOf(const std::filesystem::path& file) {
  // Errors carry the system's text only: they may cross the installer connection.
  UniqueFd input;
  do {
    input.reset(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  } while (!input && errno == EINTR);
  if (!input) {
    throw std::system_error(errno, std::generic_category());
  }
  Sha256 hasher;
  std::vector<char> block(update_wire::kHashBlockSize);
  while (true) {
    const ssize_t got = ::read(input.get(), block.data(), block.size());
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::system_error(errno, std::generic_category());
    }
    if (got == 0) {
      break;
    }
    hasher.update(block.data(), static_cast<std::size_t>(got));
  }
  return hasher.finishHex();
}

}  // namespace orlith
