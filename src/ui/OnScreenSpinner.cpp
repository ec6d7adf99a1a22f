#include "ui/OnScreenSpinner.h"

namespace orlith {

void OnScreenSpinner::setTurning(bool turning) {
  turning_ = turning;
  set_spinning(turning_ && get_mapped());
}

void OnScreenSpinner::on_map() {
  Gtk::Spinner::on_map();
  set_spinning(turning_);
}

void OnScreenSpinner::on_unmap() {
  set_spinning(false);
  Gtk::Spinner::on_unmap();
}

}  // namespace orlith
