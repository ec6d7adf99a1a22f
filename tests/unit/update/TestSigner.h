// A fresh Ed25519 key for a test run, and the signed manifest envelopes it makes.
#pragma once

#include <openssl/evp.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "update/trust/StrictBase64.h"

namespace orlith::test {

class TestSigner {
 public:
  TestSigner() {
    std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(
        EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr), EVP_PKEY_CTX_free);
    EVP_PKEY* key = nullptr;
    if (!ctx || EVP_PKEY_keygen_init(ctx.get()) != 1 || EVP_PKEY_keygen(ctx.get(), &key) != 1) {
      throw std::runtime_error("Ed25519 key generation failed");
    }
    key_.reset(key);
  }

  std::string rawPublicKey() const {
    std::string raw(32, '\0');
    std::size_t size = raw.size();
    EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()), &size);
    raw.resize(size);
    return raw;
  }
  std::string publicKeyText() const { return StrictBase64::encode(rawPublicKey()); }

  std::string sign(std::string_view message) const {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> ctx(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    std::string signature(64, '\0');
    std::size_t size = signature.size();
    if (EVP_DigestSignInit(ctx.get(), nullptr, nullptr, nullptr, key_.get()) != 1 ||
        EVP_DigestSign(ctx.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                       reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) != 1) {
      throw std::runtime_error("Ed25519 signing failed");
    }
    return signature;
  }
  std::string signatureText(std::string_view message) const {
    return StrictBase64::encode(sign(message));
  }

 private:
  std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)> key_{nullptr, EVP_PKEY_free};
};

}  // namespace orlith::test
