// Ed25519 verification on OpenSSL 3.
#include "update/trust/Ed25519.h"

#include <openssl/evp.h>

#include <memory>

namespace orlith {
namespace {

struct PkeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* ctx) const { EVP_MD_CTX_free(ctx); }
};
using PkeyPtr = std::unique_ptr<EVP_PKEY, PkeyFree>;
using MdCtxPtr = std::unique_ptr<EVP_MD_CTX, MdCtxFree>;

PkeyPtr importKey(std::string_view rawKey) {
  if (rawKey.size() != Ed25519::kPublicKeySize) {
    return nullptr;
  }
  return PkeyPtr(EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr,
                                             reinterpret_cast<const unsigned char*>(rawKey.data()),
                                             rawKey.size()));
}

}  // namespace

bool Ed25519::isValidPublicKey(std::string_view rawKey) {
  return importKey(rawKey) != nullptr;
}

bool Ed25519::verify(std::string_view rawKey, std::string_view message,
                     std::string_view signature) {
  if (signature.size() != kSignatureSize) {
    return false;
  }
  const PkeyPtr key = importKey(rawKey);
  const MdCtxPtr ctx(EVP_MD_CTX_new());
  if (!key || !ctx) {
    return false;
  }
  // Ed25519 takes no digest of its own and does not stream: one-shot over the whole message.
  if (EVP_DigestVerifyInit(ctx.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
    return false;
  }
  return EVP_DigestVerify(ctx.get(), reinterpret_cast<const unsigned char*>(signature.data()),
                          signature.size(), reinterpret_cast<const unsigned char*>(message.data()),
                          message.size()) == 1;
}

}  // namespace orlith
