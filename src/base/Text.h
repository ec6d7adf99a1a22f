// Text helpers on UTF-8 strings that do not depend on the locale.
#pragma once

#include <string>
#include <string_view>

namespace orlith {

// Whether a code point has the Unicode White_Space property (tabs, line breaks, spaces,
// U+0085, U+00A0, U+1680, U+2000–U+200A, U+2028, U+2029, U+202F, U+205F, U+3000).
bool isWhitespaceOrNewline(char32_t codePoint);

// Removes leading and trailing White_Space code points; interior ones stay. Works on bytes:
// a byte sequence that is not valid UTF-8 is never whitespace, so trimming stops at it and it
// is returned unchanged rather than replaced.
std::string trimWhitespaceAndNewlines(std::string_view utf8);

// Strict UTF-8: no overlong forms, surrogates, code points past U+10FFFF or NUL bytes.
bool isValidUtf8(std::string_view text);

// Maps A–Z to a–z and leaves every other byte as it is.
std::string asciiLowercase(std::string_view text);

}  // namespace orlith
