#include "signin/LayoutDirection.h"

#include <array>

namespace orlith {

bool isRightToLeftLanguage(std::string_view languageCode) {
  static constexpr std::array<std::string_view, 10> kRightToLeft{"ar", "fa", "he",  "ur", "ps",
                                                                 "yi", "dv", "ckb", "sd", "ug"};
  for (std::string_view code : kRightToLeft) {
    if (code == languageCode)
      return true;
  }
  return false;
}

}  // namespace orlith
