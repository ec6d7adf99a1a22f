// The filled style: the kit sheet's class, and the pointing hand while enabled.
#include "ui/AuthFilledButtonStyle.h"

#include "ui/AuthControlCursor.h"
#include "ui/BrandKitStyleSheet.h"

namespace orlith {

void AuthFilledButtonStyle::apply(Gtk::Button& button) {
  addButtonStyleClass(button, kAuthFilledButtonClass);
  button.set_hexpand(true);
}

}  // namespace orlith
