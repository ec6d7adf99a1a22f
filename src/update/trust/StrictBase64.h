// Standard base64 (RFC 4648, "+" and "/", padded) with a decoder that refuses anything else:
// whitespace, line breaks, foreign characters, missing or misplaced padding, non-zero spare bits.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orlith {

class StrictBase64 final {
 public:
  StrictBase64() = delete;

  static std::string encode(std::string_view bytes);
  // The decoded bytes, or nothing when the text is not canonical base64.
  static std::optional<std::string> decode(std::string_view text);
};

}  // namespace orlith
