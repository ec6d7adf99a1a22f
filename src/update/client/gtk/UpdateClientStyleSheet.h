// The indicator's and the panel's light and dark style sheet.
#pragma once

#include <string>

#include "ui/AppearanceStyleProvider.h"

namespace orlith {

std::string updateClientStyleSheet(bool isDark);
void addUpdateClientStyleSheet(AppearanceStyleProvider& provider);

}  // namespace orlith
