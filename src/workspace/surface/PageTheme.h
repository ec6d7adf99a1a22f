// The two themes of the workspace page, as the page names them.
#pragma once

#include <optional>
#include <string_view>

namespace orlith {

enum class PageTheme { light, dark };

inline std::string_view pageThemeName(PageTheme theme) {
  return theme == PageTheme::dark ? "dark" : "light";
}

inline std::optional<PageTheme> pageThemeNamed(std::string_view name) {
  if (name == "dark")
    return PageTheme::dark;
  if (name == "light")
    return PageTheme::light;
  return std::nullopt;
}

}  // namespace orlith
