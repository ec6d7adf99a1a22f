// What window logic asks of the window a view is shown in: whether there is one, whether it is
// the active window, minimized or full screen, and when any of that changes. The toolkit adapter
// follows a widget's window; tests drive a fake, since a display without a window manager
// neither minimizes nor activates windows on request.
#pragma once

#include "base/Observable.h"

namespace orlith {

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  virtual bool hasWindow() const = 0;
  // Each is false without a window.
  virtual bool isActive() const = 0;
  virtual bool isMinimized() const = 0;
  virtual bool isFullscreen() const = 0;

  // Emitted after the window, or any of its states above, changed.
  ChangeSignal& changed() { return changed_; }

 protected:
  ChangeSignal changed_;
};

}  // namespace orlith
