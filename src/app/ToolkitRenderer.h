// Which renderer the toolkit draws the windows with. Software OpenGL draws the toolkit's own
// widgets far slower than cairo does, and on such a display every frame of a spinner or a
// transition takes the CPU that the page's first paint needs; with direct rendering the
// toolkit's default stays.
#pragma once

#include <optional>
#include <string>

namespace orlith {

enum class DisplayAcceleration {
  // The display offers direct rendering: OpenGL runs on a GPU.
  direct,
  // The display offers no direct rendering: OpenGL would run in software.
  none,
  // Not known for this kind of display.
  unknown,
};

enum class UserRendererChoice { none, made };

struct ToolkitRenderer {
  // The renderer to ask the toolkit for, or nothing for its own choice. A person's own choice
  // (the toolkit's variable) always stands.
  static std::optional<std::string> choose(UserRendererChoice user,
                                           DisplayAcceleration acceleration);
};

}  // namespace orlith
