// When the hidden menu bar comes and goes by key: Alt pressed and released with nothing else
// between (no other key, no click, the window not left) and F10 each toggle it, and Escape
// hides it. Holding Alt for Alt+Tab or Alt+click is not a tap.
#pragma once

namespace orlith {

class MenuBarKeys {
 public:
  enum class Key { alt, f10, escape, other };
  enum class Effect { none, toggle, hide };

  // `shown` is whether the menu bar shows now.
  Effect pressed(Key key, bool shown);
  Effect released(Key key);
  // A pointer button went down, or the window lost the focus: a held Alt is no tap.
  void interrupted() { tap_ = false; }

 private:
  bool altHeld_ = false;
  bool tap_ = false;
};

}  // namespace orlith
