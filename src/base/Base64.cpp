// Standard base64.
#include "base/Base64.h"

#include <array>

namespace orlith {

namespace {

constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
  std::array<std::uint8_t, 256> table{};
  table.fill(kInvalid);
  for (std::size_t i = 0; i < kAlphabet.size(); ++i) {
    table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::uint8_t>(i);
  }
  return table;
}

constexpr std::array<std::uint8_t, 256> kDecodeTable = makeDecodeTable();

bool isAsciiWhitespace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

std::optional<std::string> decodeCanonical(std::string_view text) {
  if (text.size() % 4 != 0) {
    return std::nullopt;
  }
  std::size_t padding = 0;
  if (!text.empty() && text.back() == '=') {
    padding = (text.size() >= 2 && text[text.size() - 2] == '=') ? 2 : 1;
  }
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    const std::size_t symbols = last ? 4 - padding : 4;
    std::uint32_t v = 0;
    for (std::size_t k = 0; k < 4; ++k) {
      std::uint8_t d = 0;
      if (k < symbols) {
        d = kDecodeTable[static_cast<unsigned char>(text[i + k])];
        if (d == kInvalid) {
          return std::nullopt;
        }
      }
      v = (v << 6) | d;
    }
    out += static_cast<char>((v >> 16) & 0xFF);
    if (symbols >= 3) {
      out += static_cast<char>((v >> 8) & 0xFF);
    }
    if (symbols == 4) {
      out += static_cast<char>(v & 0xFF);
    }
    // The bits a padded quantum leaves over must be zero, or two texts would decode alike.
    if ((symbols == 2 && (v & 0xFFFF) != 0) || (symbols == 3 && (v & 0xFF) != 0)) {
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8) |
                            static_cast<std::uint8_t>(bytes[i + 2]);
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += kAlphabet[(v >> 6) & 0x3F];
    out += kAlphabet[v & 0x3F];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest == 1) {
    const std::uint32_t v = static_cast<std::uint8_t>(bytes[i]) << 16;
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += "==";
  } else if (rest == 2) {
    const std::uint32_t v = (static_cast<std::uint8_t>(bytes[i]) << 16) |
                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8);
    out += kAlphabet[(v >> 18) & 0x3F];
    out += kAlphabet[(v >> 12) & 0x3F];
    out += kAlphabet[(v >> 6) & 0x3F];
    out += '=';
  }
  return out;
}

std::string base64Encode(const std::vector<std::uint8_t>& bytes) {
  return base64Encode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

std::optional<std::string> base64DecodeText(std::string_view text, Base64Whitespace whitespace) {
  if (whitespace == Base64Whitespace::refuse) {
    return decodeCanonical(text);
  }
  std::string symbols;
  symbols.reserve(text.size());
  for (char c : text) {
    if (!isAsciiWhitespace(c)) {
      symbols.push_back(c);
    }
  }
  return decodeCanonical(symbols);
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text,
                                                      Base64Whitespace whitespace) {
  auto decoded = base64DecodeText(text, whitespace);
  if (!decoded) {
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(decoded->begin(), decoded->end());
}

}  // namespace orlith
