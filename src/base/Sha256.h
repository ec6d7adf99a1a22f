// SHA-256 digests as lower-case hexadecimal text (two digits a byte), on OpenSSL's EVP interface.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

struct evp_md_ctx_st;

namespace orlith {

// A streaming hasher: update() any number of times, then finishHex() once.
class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(Sha256&&) noexcept;
  Sha256& operator=(Sha256&&) noexcept;

  void update(std::string_view bytes);
  void update(const void* bytes, std::size_t size);
  // Ends the digest; a further update() or finishHex() throws std::logic_error.
  std::string finishHex();

 private:
  struct ContextFree {
    void operator()(evp_md_ctx_st* context) const;
  };
  std::unique_ptr<evp_md_ctx_st, ContextFree> context_;
  bool finished_ = false;
};

std::string sha256Hex(std::string_view bytes);

// Streams the file in large chunks; an I/O failure throws std::system_error.
std::string sha256HexOfFile(const std::filesystem::path& file);

}  // namespace orlith
