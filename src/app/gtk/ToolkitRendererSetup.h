// Asks the toolkit for the renderer that suits the display, before the first window is made.
#pragma once

namespace orlith {

class ToolkitRendererSetup {
 public:
  // With the display open and no window realized yet. The toolkit keeps the renderer it picks
  // for its first window; `finish` then takes the request back out of the environment, so
  // programs started later get none of it.
  static void apply();
  static void finish();
};

}  // namespace orlith
