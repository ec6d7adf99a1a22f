// Title clean-up: one " - orlith" suffix comes off; generic titles become the product name.
#include "workspace/surface/PageTitle.h"

#include <array>

#include "base/Text.h"

namespace orlith {

std::string cleanPageTitle(const std::optional<std::string>& title) {
  if (!title)
    return std::string(kProductTitle);
  std::string cleaned = trimWhitespaceAndNewlines(*title);
  constexpr std::string_view kSuffix = " - orlith";
  if (asciiLowercase(cleaned).ends_with(kSuffix))
    cleaned = trimWhitespaceAndNewlines(cleaned.substr(0, cleaned.size() - kSuffix.size()));
  static constexpr std::array<std::string_view, 3> kGeneric = {"orlith", "orlith - workspace",
                                                               "all-in-one workspace"};
  const std::string lower = asciiLowercase(cleaned);
  for (std::string_view generic : kGeneric) {
    if (lower == generic)
      return std::string(kProductTitle);
  }
  return cleaned.empty() ? std::string(kProductTitle) : cleaned;
}

}  // namespace orlith
