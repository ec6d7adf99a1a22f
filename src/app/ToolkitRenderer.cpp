#include "app/ToolkitRenderer.h"

namespace orlith {

std::optional<std::string> ToolkitRenderer::choose(UserRendererChoice user,
                                                   DisplayAcceleration acceleration) {
  if (user == UserRendererChoice::made || acceleration != DisplayAcceleration::none)
    return std::nullopt;
  return "cairo";
}

}  // namespace orlith
