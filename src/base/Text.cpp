// Locale-independent text helpers.
#include "base/Text.h"

#include <glib.h>

#include <array>

namespace orlith {

namespace {

// UTF-8 encodings of the White_Space code points above ASCII. Each begins with a lead byte,
// which can never be the continuation of a preceding sequence, so matching these byte strings
// at either end of a string finds exactly the whitespace characters there, valid UTF-8 or not.
constexpr std::array<std::string_view, 19> kMultiByteWhitespace = {
    "\xC2\x85",     "\xC2\xA0",     "\xE1\x9A\x80", "\xE2\x80\x80", "\xE2\x80\x81",
    "\xE2\x80\x82", "\xE2\x80\x83", "\xE2\x80\x84", "\xE2\x80\x85", "\xE2\x80\x86",
    "\xE2\x80\x87", "\xE2\x80\x88", "\xE2\x80\x89", "\xE2\x80\x8A", "\xE2\x80\xA8",
    "\xE2\x80\xA9", "\xE2\x80\xAF", "\xE2\x81\x9F", "\xE3\x80\x80",
};

bool isAsciiWhitespace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

// Length of the whitespace character at the front of `text`, or 0.
std::size_t leadingWhitespaceLength(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  if (isAsciiWhitespace(text.front())) {
    return 1;
  }
  for (std::string_view space : kMultiByteWhitespace) {
    if (text.starts_with(space)) {
      return space.size();
    }
  }
  return 0;
}

std::size_t trailingWhitespaceLength(std::string_view text) {
  if (text.empty()) {
    return 0;
  }
  if (isAsciiWhitespace(text.back())) {
    return 1;
  }
  for (std::string_view space : kMultiByteWhitespace) {
    if (text.ends_with(space)) {
      return space.size();
    }
  }
  return 0;
}

}  // namespace

bool isWhitespaceOrNewline(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

std::string trimWhitespaceAndNewlines(std::string_view utf8) {
  while (std::size_t length = leadingWhitespaceLength(utf8)) {
    utf8.remove_prefix(length);
  }
  while (std::size_t length = trailingWhitespaceLength(utf8)) {
    utf8.remove_suffix(length);
  }
  return std::string(utf8);
}

std::string asciiLowercase(std::string_view text) {
  std::string result(text);
  for (char& c : result) {
    if (c >= 'A' && c <= 'Z') {
      c = static_cast<char>(c - 'A' + 'a');
    }
  }
  return result;
}

bool isValidUtf8(std::string_view text) {
  return g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr) != FALSE;
}

}  // namespace orlith
