// The page scripts as compiled in from scripts/*.js, placeholders still unfilled.
#pragma once

#include <string_view>

namespace orlith::scripts {

extern const std::string_view kThemeSeedJs;
extern const std::string_view kBridgeBootstrapJs;
extern const std::string_view kSurfaceReadinessJs;

}  // namespace orlith::scripts
