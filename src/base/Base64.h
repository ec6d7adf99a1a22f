// Standard base64 (RFC 4648, with padding) for the typed data of preferences and property lists.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orlith {

std::string base64Encode(const std::vector<std::uint8_t>& bytes);

// Strict: ASCII whitespace is skipped (property lists wrap their data), anything else outside
// the alphabet, a bad length or misplaced padding gives nullopt.
std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text);

}  // namespace orlith
