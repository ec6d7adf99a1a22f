// Workspace paths that are what they look like.
#include "workspace/surface/AppPathSafety.h"

#include <string>

#include "session/RecoverableUrl.h"

namespace orlith {
namespace {

// C0 controls and DEL as bytes, C1 controls as their UTF-8 form (0xC2 0x80-0x9F).
bool holdsControlCharacter(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F)
      return true;
    if (byte == 0xC2 && i + 1 < text.size()) {
      auto next = static_cast<unsigned char>(text[i + 1]);
      if (next >= 0x80 && next <= 0x9F)
        return true;
    }
  }
  return false;
}

}  // namespace

bool isSafeAppPath(const Url& url) {
  const std::string path = url.path();
  if (path != "/app" && !path.starts_with("/app/"))
    return false;
  if (url.hasAmbiguousPathSegment())
    return false;
  return path.find('\\') == std::string::npos && !holdsControlCharacter(path);
}

std::optional<Url> safeRecoverableURL(const Url& url, const Url& origin) {
  auto recovered = recoverableURL(url, origin);
  if (recovered && isSafeAppPath(*recovered))
    return recovered;
  return std::nullopt;
}

}  // namespace orlith
