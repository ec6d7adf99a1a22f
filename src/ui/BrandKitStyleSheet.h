// The shared kit's CSS: the brand mark, the waiting screen and the filled button, in the
// palette's named colours, so the sheet joins the palette's provider.
#pragma once

#include <string>

#include "ui/AppearanceStyleProvider.h"

namespace orlith {

inline constexpr const char* kAuthFilledButtonClass = "orlith-auth-filled";

std::string brandKitStyleSheet(bool isDark);

// Adds the kit's sheet to the provider that holds the palette (once; later calls do nothing).
void addBrandKitStyleSheet(AppearanceStyleProvider& provider);

}  // namespace orlith
