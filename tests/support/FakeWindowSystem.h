// The window of a view, set by the test: a display without a window manager neither minimizes
// nor activates windows on request.
#pragma once

#include "workspace/window/WindowSystem.h"

namespace orlith::testing {

class FakeWindowSystem final : public WindowSystem {
 public:
  bool hasWindow() const override { return window; }
  bool isActive() const override { return window && active; }
  bool isMinimized() const override { return window && minimized; }
  bool isFullscreen() const override { return window && fullscreen; }

  // Each setter emits the change, as the toolkit does.
  void setWindow(bool value) { set(window, value); }
  void setActive(bool value) { set(active, value); }
  void setMinimized(bool value) { set(minimized, value); }
  void setFullscreen(bool value) { set(fullscreen, value); }

  bool window = true;
  bool active = true;
  bool minimized = false;
  bool fullscreen = false;

 private:
  void set(bool& field, bool value) {
    field = value;
    changed_.emit();
  }
};

}  // namespace orlith::testing
