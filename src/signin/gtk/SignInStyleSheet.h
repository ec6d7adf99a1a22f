// The sign-in view's own CSS (text styles, rows, the mode switch, sheets), over the palette's
// named colours. Joins the provider that holds the palette, beside the kit's sheet.
#pragma once

#include <string>

#include "ui/AppearanceStyleProvider.h"

namespace orlith {

std::string signInStyleSheet(bool isDark);

// Adds the view's sheet and the kit's to the palette's provider (each once).
void addSignInStyleSheets(AppearanceStyleProvider& provider);

}  // namespace orlith
