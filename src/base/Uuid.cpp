// Random version-4 UUIDs.
#include "base/Uuid.h"

#include <openssl/rand.h>

#include <array>
#include <stdexcept>

namespace orlith {

std::string makeRandomUuid() {
  std::array<unsigned char, 16> bytes{};
  if (RAND_bytes(bytes.data(), static_cast<int>(bytes.size())) != 1) {
    throw std::runtime_error("UUID: the random generator failed");
  }
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // RFC 4122 variant
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) {
      text.push_back('-');
    }
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

std::optional<std::string> canonicalUuid(std::string_view text) {
  if (text.size() != 36)
    return std::nullopt;
  std::string canonical(text);
  for (std::size_t i = 0; i < canonical.size(); ++i) {
    char& c = canonical[i];
    if (i == 8 || i == 13 || i == 18 || i == 23) {
      if (c != '-')
        return std::nullopt;
    } else if (c >= 'a' && c <= 'f') {
      c = static_cast<char>(c - 'a' + 'A');
    } else if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) {
      return std::nullopt;
    }
  }
  return canonical;
}

std::string RandomUuidSource::next() {
  return makeRandomUuid();
}

}  // namespace orlith
