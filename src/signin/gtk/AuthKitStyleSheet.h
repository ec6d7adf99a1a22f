// The sign-in kit's CSS: the header, the loading veil, the provider and link buttons and the
// labels. Colours are the palette's named colours, so the sheet joins the palette's provider.
#pragma once

#include <string>

#include "ui/AppearanceStyleProvider.h"
#include "ui/BrandKitStyleSheet.h"
#include "workspace/surface/OrlithPalette.h"

namespace orlith {

// The kit's classes.
inline constexpr const char* kAuthSocialButtonClass = "orlith-auth-social";
inline constexpr const char* kAuthSocialLabelClass = "orlith-auth-social-label";
inline constexpr const char* kAuthPrimaryLabelClass = "orlith-auth-primary-label";
inline constexpr const char* kAuthLinkButtonClass = "orlith-auth-link";
// A disabled provider button keeps its full opacity.
inline constexpr const char* kPreservesDisabledAppearanceClass = "preserves-disabled-appearance";
// A label that shows its busy indicator.
inline constexpr const char* kLoadingClass = "loading";

// The class that gives a link button the palette colour `colour`.
std::string linkColourClass(const PaletteColour& colour);

std::string authKitStyleSheet(bool isDark);

// Adds the shared kit's sheet and this one to the provider that holds the palette (each once;
// later calls do nothing).
void addAuthKitStyleSheet(AppearanceStyleProvider& provider);

}  // namespace orlith
