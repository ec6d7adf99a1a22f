// The three button styles: a class of the kit's sheet each, and the pointing hand while enabled.
#include "signin/gtk/AuthControlCursor.h"
#include "signin/gtk/AuthFilledButtonStyle.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/AuthLinkButtonStyle.h"
#include "signin/gtk/AuthSocialButtonStyle.h"

namespace orlith {
namespace {

void applyOnce(Gtk::Button& button, const char* cssClass) {
  if (button.has_css_class(cssClass))
    return;
  button.add_css_class(cssClass);
  showPointingHandWhileEnabled(button);
}

}  // namespace

void AuthFilledButtonStyle::apply(Gtk::Button& button) {
  applyOnce(button, kAuthFilledButtonClass);
  button.set_hexpand(true);
}

void AuthSocialButtonStyle::apply(Gtk::Button& button) const {
  applyOnce(button, kAuthSocialButtonClass);
  button.set_hexpand(true);
  if (preservesDisabledAppearance_)
    button.add_css_class(kPreservesDisabledAppearanceClass);
  else
    button.remove_css_class(kPreservesDisabledAppearanceClass);
}

void AuthLinkButtonStyle::apply(Gtk::Button& button) const {
  applyOnce(button, kAuthLinkButtonClass);
  for (const PaletteColour* colour : OrlithPalette::colours)
    button.remove_css_class(linkColourClass(*colour));
  button.add_css_class(linkColourClass(colour_));
}

}  // namespace orlith
