// Standard base64 (RFC 4648, "+" and "/", padded): one codec for every caller. Decoding is
// strict — foreign characters, a bad length, misplaced padding and non-zero spare bits are
// refused — and only the whitespace rule differs between callers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

enum class Base64Whitespace {
  refuse,  // keys, signatures and other canonical texts
  skip,    // property lists and other documents that wrap their data over lines
};

std::string base64Encode(std::string_view bytes);
std::string base64Encode(const std::vector<std::uint8_t>& bytes);

std::optional<std::string> base64DecodeText(std::string_view text, Base64Whitespace whitespace);
std::optional<std::vector<std::uint8_t>> base64Decode(
    std::string_view text, Base64Whitespace whitespace = Base64Whitespace::skip);

}  // namespace orlith
