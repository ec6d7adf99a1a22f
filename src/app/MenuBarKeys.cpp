// The tap rules of the hidden menu bar.
#include "app/MenuBarKeys.h"

namespace orlith {

MenuBarKeys::Effect MenuBarKeys::pressed(Key key, bool shown) {
  // A repeat of a held Alt changes nothing; any other key ends the tap.
  if (key != Key::alt)
    tap_ = false;
  else if (!altHeld_)
    tap_ = true;
  altHeld_ = key == Key::alt || altHeld_;
  switch (key) {
    case Key::f10:
      return Effect::toggle;
    case Key::escape:
      return shown ? Effect::hide : Effect::none;
    case Key::alt:
    case Key::other:
      return Effect::none;
  }
  return Effect::none;
}

MenuBarKeys::Effect MenuBarKeys::released(Key key) {
  if (key != Key::alt)
    return Effect::none;
  const bool tap = tap_;
  altHeld_ = false;
  tap_ = false;
  return tap ? Effect::toggle : Effect::none;
}

}  // namespace orlith
