// The sign-in kit's CSS: brand and loading views, and the filled, provider and link buttons.
// Colours are the palette's named colours, so the sheet joins the palette's provider.
#pragma once

#include <string>

#include "workspace/surface/OrlithPalette.h"
#include "workspace/surface/gtk/AppearanceStyleProvider.h"

namespace orlith {

// The kit's classes.
inline constexpr const char* kAuthFilledButtonClass = "orlith-auth-filled";
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

// Adds the kit's sheet to the provider that holds the palette (once; later calls do nothing).
void addAuthKitStyleSheet(AppearanceStyleProvider& provider);

}  // namespace orlith
