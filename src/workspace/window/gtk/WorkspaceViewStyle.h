// The workspace view's CSS: canvas, start-up cover and error view, in the palette's colours.
#pragma once

#include <string>

#include "ui/AppearanceStyleProvider.h"

namespace orlith {

inline constexpr const char* kCanvasClass = "orlith-canvas";
inline constexpr const char* kStartupCoverClass = "orlith-startup-cover";
inline constexpr const char* kErrorViewClass = "orlith-error-view";

std::string workspaceViewStyleSheet(bool isDark);
// Adds the sheet to the palette's provider (once).
void addWorkspaceViewStyleSheet(AppearanceStyleProvider& provider);

}  // namespace orlith
