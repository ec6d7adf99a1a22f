// Which languages are written right to left, for the layout direction of the sign-in view and
// the recovery screen.
#pragma once

#include <string_view>

namespace orlith {

// `languageCode` as the string table uses it ("ar", "he", "ckb", ...).
bool isRightToLeftLanguage(std::string_view languageCode);

}  // namespace orlith
