// The provider and link button styles: a class of the kit's sheet each, and the pointing hand
// while enabled.
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/AuthLinkButtonStyle.h"
#include "signin/gtk/AuthSocialButtonStyle.h"
#include "ui/AuthControlCursor.h"

namespace orlith {

void AuthSocialButtonStyle::apply(Gtk::Button& button) const {
  addButtonStyleClass(button, kAuthSocialButtonClass);
  button.set_hexpand(true);
  if (preservesDisabledAppearance_)
    button.add_css_class(kPreservesDisabledAppearanceClass);
  else
    button.remove_css_class(kPreservesDisabledAppearanceClass);
}

void AuthLinkButtonStyle::apply(Gtk::Button& button) const {
  addButtonStyleClass(button, kAuthLinkButtonClass);
  for (const PaletteColour* colour : OrlithPalette::colours)
    button.remove_css_class(linkColourClass(*colour));
  button.add_css_class(linkColourClass(colour_));
}

}  // namespace orlith
