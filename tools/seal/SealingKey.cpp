// Ed25519 sealing keys on OpenSSL's EVP interface.
#include "SealingKey.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <unistd.h>

#include <cstdio>
#include <stdexcept>
#include <system_error>

#include "update/trust/StrictBase64.h"

namespace orlith {
namespace {

struct FileClose {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
struct ContextFree {
  void operator()(EVP_PKEY_CTX* context) const { EVP_PKEY_CTX_free(context); }
};
struct DigestFree {
  void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};

}  // namespace

void SealingKey::KeyFree::operator()(evp_pkey_st* key) const {
  EVP_PKEY_free(key);
}

SealingKey SealingKey::generate() {
  const std::unique_ptr<EVP_PKEY_CTX, ContextFree> context(
      EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr));
  EVP_PKEY* key = nullptr;
  if (!context || EVP_PKEY_keygen_init(context.get()) != 1 ||
      EVP_PKEY_keygen(context.get(), &key) != 1) {
    throw std::runtime_error("Ed25519 key generation failed");
  }
  return SealingKey(key);
}

SealingKey SealingKey::readPem(const std::filesystem::path& file) {
  const std::unique_ptr<std::FILE, FileClose> stream(std::fopen(file.c_str(), "rb"));
  if (!stream) {
    throw std::system_error(errno, std::generic_category(), file.string());
  }
  EVP_PKEY* key = PEM_read_PrivateKey(stream.get(), nullptr, nullptr, nullptr);
  if (key == nullptr || EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
    EVP_PKEY_free(key);
    throw std::runtime_error(file.string() + ": not an Ed25519 private key");
  }
  return SealingKey(key);
}

void SealingKey::writePem(const std::filesystem::path& file) const {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) {
    throw std::system_error(errno, std::generic_category(), file.string());
  }
  const std::unique_ptr<std::FILE, FileClose> stream(::fdopen(fd, "wb"));
  if (!stream) {
    ::close(fd);
    throw std::system_error(errno, std::generic_category(), file.string());
  }
  if (PEM_write_PrivateKey(stream.get(), key_.get(), nullptr, nullptr, 0, nullptr, nullptr) != 1) {
    throw std::runtime_error(file.string() + ": cannot write the key");
  }
}

std::string SealingKey::publicKeyText() const {
  std::string raw(32, '\0');
  std::size_t size = raw.size();
  if (EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()),
                                  &size) != 1) {
    throw std::runtime_error("cannot read the public key");
  }
  raw.resize(size);
  return StrictBase64::encode(raw);
}

std::string SealingKey::sign(std::string_view message) const {
  const std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
  std::string signature(64, '\0');
  std::size_t size = signature.size();
  if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_.get()) != 1 ||
      EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(signature.data()), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    throw std::runtime_error("Ed25519 signing failed");
  }
  signature.resize(size);
  return signature;
}

}  // namespace orlith
