// An Ed25519 private key for sealing bundles and signing update manifests, kept in PEM files.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct evp_pkey_st;

namespace orlith {

class SealingKey {
 public:
  static SealingKey generate();
  // Throws std::runtime_error for a file that is not an Ed25519 private key.
  static SealingKey readPem(const std::filesystem::path& file);

  // Mode 0600; refuses to overwrite.
  void writePem(const std::filesystem::path& file) const;
  // Strict base64 of the raw 32-byte public key.
  std::string publicKeyText() const;
  // The raw 64-byte signature.
  std::string sign(std::string_view message) const;

 private:
  struct KeyFree {
    void operator()(evp_pkey_st* key) const;
  };
  explicit SealingKey(evp_pkey_st* key) : key_(key) {}
  std::unique_ptr<evp_pkey_st, KeyFree> key_;
};

}  // namespace orlith
