// Standard base64.
#include "base/Base64.h"

namespace orlith {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int sextet(char c) {
  if (c >= 'A' && c <= 'Z') {
    return c - 'A';
  }
  if (c >= 'a' && c <= 'z') {
    return c - 'a' + 26;
  }
  if (c >= '0' && c <= '9') {
    return c - '0' + 52;
  }
  if (c == '+') {
    return 62;
  }
  if (c == '/') {
    return 63;
  }
  return -1;
}

}  // namespace

std::string base64Encode(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    std::uint32_t group = (bytes[i] << 16) | (bytes[i + 1] << 8) | bytes[i + 2];
    text.push_back(kAlphabet[(group >> 18) & 63]);
    text.push_back(kAlphabet[(group >> 12) & 63]);
    text.push_back(kAlphabet[(group >> 6) & 63]);
    text.push_back(kAlphabet[group & 63]);
  }
  if (std::size_t rest = bytes.size() - i; rest > 0) {
    std::uint32_t group = bytes[i] << 16;
    if (rest == 2) {
      group |= bytes[i + 1] << 8;
    }
    text.push_back(kAlphabet[(group >> 18) & 63]);
    text.push_back(kAlphabet[(group >> 12) & 63]);
    text.push_back(rest == 2 ? kAlphabet[(group >> 6) & 63] : '=');
    text.push_back('=');
  }
  return text;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text) {
  std::string symbols;
  symbols.reserve(text.size());
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
      continue;
    }
    symbols.push_back(c);
  }
  if (symbols.size() % 4 != 0) {
    return std::nullopt;
  }
  std::size_t padding = 0;
  if (!symbols.empty() && symbols.back() == '=') {
    padding = symbols[symbols.size() - 2] == '=' ? 2 : 1;
  }
  std::vector<std::uint8_t> bytes;
  bytes.reserve(symbols.size() / 4 * 3);
  for (std::size_t i = 0; i < symbols.size(); i += 4) {
    bool lastGroup = i + 4 == symbols.size();
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      char c = symbols[i + j];
      int value = 0;
      if (c == '=') {
        if (!lastGroup || j < 4 - padding) {
          return std::nullopt;
        }
      } else {
        value = sextet(c);
        if (value < 0) {
          return std::nullopt;
        }
      }
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    std::size_t produced = lastGroup ? 3 - padding : 3;
    for (std::size_t k = 0; k < produced; ++k) {
      bytes.push_back(static_cast<std::uint8_t>(group >> (16 - 8 * k)));
    }
  }
  return bytes;
}

}  // namespace orlith
