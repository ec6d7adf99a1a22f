// The port to the desktop's light/dark state and to the app's own appearance setting.
#pragma once

#include <sigc++/sigc++.h>

namespace orlith {

enum class AppAppearance { system, light, dark };

class AppearanceEnvironment {
 public:
  virtual ~AppearanceEnvironment() = default;
  // Whether the desktop prefers dark (no answer from the desktop: light).
  virtual bool systemIsDark() const = 0;
  // The appearance the app's windows take: follow the desktop, or a fixed one.
  virtual void setAppAppearance(AppAppearance appearance) = 0;
  virtual AppAppearance appAppearance() const = 0;
  // Emitted after the desktop's state changed.
  sigc::signal<void()>& systemAppearanceChanged() { return systemAppearanceChanged_; }

 private:
  sigc::signal<void()> systemAppearanceChanged_;
};

}  // namespace orlith
