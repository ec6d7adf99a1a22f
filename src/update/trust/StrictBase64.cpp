// Strict standard base64: the shared codec with whitespace refused.
#include "update/trust/StrictBase64.h"

#include "base/Base64.h"

namespace orlith {

std::string StrictBase64::encode(std::string_view bytes) {
  return base64Encode(bytes);
}

std::optional<std::string> StrictBase64::decode(std::string_view text) {
  return base64DecodeText(text, Base64Whitespace::refuse);
}

}  // namespace orlith
