// The tab's title from the page's own: white space trimmed, the product suffix and the
// product's generic titles brought to one name.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace orlith {

inline constexpr std::string_view kProductTitle = "Orlith";

// None or a title that is empty once trimmed gives kProductTitle.
std::string cleanPageTitle(const std::optional<std::string>& title);

}  // namespace orlith
