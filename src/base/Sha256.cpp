// SHA-256 on OpenSSL EVP.
#include "base/Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace orlith {

namespace {

constexpr std::size_t kFileChunkSize = 1 << 20;

struct FileDescriptor {
  int fd = -1;
  ~FileDescriptor() {
    if (fd >= 0) {
      // Nothing was written through this descriptor, so a failing close loses nothing.
      ::close(fd);
    }
  }
};

std::string toHex(const unsigned char* bytes, unsigned int size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex(std::size_t{size} * 2, '\0');
  for (unsigned int i = 0; i < size; ++i) {
    hex[2 * i] = kDigits[bytes[i] >> 4];
    hex[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  return hex;
}

}  // namespace

void Sha256::ContextFree::operator()(evp_md_ctx_st* context) const {
  EVP_MD_CTX_free(context);
}

Sha256::Sha256() : context_(EVP_MD_CTX_new()) {
  if (!context_ || EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256: cannot initialise the digest");
  }
}

Sha256::~Sha256() = default;
Sha256::Sha256(Sha256&&) noexcept = default;
Sha256& Sha256::operator=(Sha256&&) noexcept = default;

void Sha256::update(std::string_view bytes) {
  update(bytes.data(), bytes.size());
}

void Sha256::update(const void* bytes, std::size_t size) {
  if (finished_ || !context_) {
    throw std::logic_error("SHA-256: update after finishHex");
  }
  if (size > 0 && EVP_DigestUpdate(context_.get(), bytes, size) != 1) {
    throw std::runtime_error("SHA-256: digest update failed");
  }
}

std::string Sha256::finishHex() {
  if (finished_ || !context_) {
    throw std::logic_error("SHA-256: finishHex called twice");
  }
  finished_ = true;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int size = 0;
  if (EVP_DigestFinal_ex(context_.get(), digest, &size) != 1) {
    throw std::runtime_error("SHA-256: digest finalisation failed");
  }
  return toHex(digest, size);
}

std::string sha256Hex(std::string_view bytes) {
  Sha256 hasher;
  hasher.update(bytes);
  return hasher.finishHex();
}

std::string sha256HexOfFile(const std::filesystem::path& file) {
  FileDescriptor input;
  do {
    input.fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  } while (input.fd < 0 && errno == EINTR);
  if (input.fd < 0) {
    throw std::system_error(errno, std::generic_category(), "cannot open " + file.string());
  }
  Sha256 hasher;
  std::vector<unsigned char> buffer(kFileChunkSize);
  for (;;) {
    ssize_t count = ::read(input.fd, buffer.data(), buffer.size());
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "cannot read " + file.string());
    }
    if (count == 0) {
      break;
    }
    hasher.update(buffer.data(), static_cast<std::size_t>(count));
  }
  return hasher.finishHex();
}

}  // namespace orlith
