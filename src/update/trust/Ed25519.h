// Ed25519 signature checks (RFC 8032) on raw 32-byte public keys, through OpenSSL's EVP layer.
#pragma once

#include <cstddef>
#include <string_view>

namespace orlith {

class Ed25519 final {
 public:
  Ed25519() = delete;

  static constexpr std::size_t kPublicKeySize = 32;
  static constexpr std::size_t kSignatureSize = 64;

  static bool isValidPublicKey(std::string_view rawKey);
  // False for a key or signature of the wrong length, and for any signature that does not verify.
  static bool verify(std::string_view rawKey, std::string_view message, std::string_view signature);
};

}  // namespace orlith
