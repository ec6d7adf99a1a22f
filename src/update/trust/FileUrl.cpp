// Plan file URLs.
#include "update/trust/FileUrl.h"

namespace orlith {
namespace {

constexpr std::string_view kPrefix = "file://";
constexpr std::string_view kHex = "0123456789ABCDEF";

bool isPathCharacter(char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) {
    return true;
  }
  return std::string_view("-._~!$&'()*+,;=:@/").find(c) != std::string_view::npos;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') {
    return c - '0';
  }
  if (c >= 'a' && c <= 'f') {
    return c - 'a' + 10;
  }
  if (c >= 'A' && c <= 'F') {
    return c - 'A' + 10;
  }
  return -1;
}

}  // namespace

std::string FileUrl::encoded() const {
  std::string out(kPrefix);
  for (const char c : path.string()) {
    if (isPathCharacter(c)) {
      out += c;
    } else {
      const auto byte = static_cast<unsigned char>(c);
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0x0F];
    }
  }
  if (kind == PathKind::directory && out.back() != '/') {
    out += '/';
  }
  return out;
}

std::optional<FileUrl> FileUrl::decode(std::string_view text) {
  if (text.substr(0, kPrefix.size()) != kPrefix) {
    return std::nullopt;
  }
  const std::string_view encodedPath = text.substr(kPrefix.size());
  if (encodedPath.empty() || encodedPath.front() != '/') {
    return std::nullopt;
  }
  std::string decoded;
  decoded.reserve(encodedPath.size());
  for (std::size_t i = 0; i < encodedPath.size(); ++i) {
    const char c = encodedPath[i];
    if (c == '%') {
      if (i + 2 >= encodedPath.size()) {
        return std::nullopt;
      }
      const int high = hexValue(encodedPath[i + 1]);
      const int low = hexValue(encodedPath[i + 2]);
      if (high < 0 || low < 0 || (high == 0 && low == 0)) {
        return std::nullopt;
      }
      decoded += static_cast<char>(high * 16 + low);
      i += 2;
    } else if (isPathCharacter(c)) {
      decoded += c;
    } else {
      return std::nullopt;
    }
  }
  FileUrl url;
  url.kind = decoded.size() > 1 && decoded.back() == '/' ? PathKind::directory : PathKind::file;
  if (decoded == "/") {
    url.kind = PathKind::directory;
  }
  while (decoded.size() > 1 && decoded.back() == '/') {
    decoded.pop_back();
  }
  url.path = decoded;
  return url;
}

}  // namespace orlith
