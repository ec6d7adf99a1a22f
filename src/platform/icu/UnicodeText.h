// Unicode text operations that GLib does not offer in the form the account keys need, on ICU:
// locale-independent full lower-casing and counting user-perceived characters. Both take UTF-8
// and refuse text that is not valid UTF-8 (an unpaired surrogate encoded in UTF-8 included)
// rather than replace or skip bytes, so that two different byte strings never map to one result.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orlith {

// Full lower-case mapping with the root locale, the same on every machine: "İ" becomes "i"
// followed by U+0307, "ẞ" becomes "ß", and no Turkish or Lithuanian rule applies.
// Nothing when the input is not valid UTF-8.
std::optional<std::string> lowercasedLocaleIndependent(std::string_view utf8);

// The number of extended grapheme clusters: "e" + U+0301 is one, a flag of two regional
// indicators is one, "\r\n" is one. Nothing when the input is not valid UTF-8.
std::optional<std::size_t> graphemeClusterCount(std::string_view utf8);

}  // namespace orlith
