// Glyph colours and the hover background live in the chip sheet, keyed by the dark or light
// class; GTK's own transition follows the animation setting (reduce motion).
#include "workspace/window/gtk/WorkspaceNewTabButton.h"

#include "base/LocalizedStrings.h"
#include "workspace/window/gtk/WorkspaceChipStyleSheet.h"

namespace orlith {
namespace {

const std::string& newTabText() {
  static const std::string text = localizedString("New tab");
  return text;
}

}  // namespace

WorkspaceNewTabButton::WorkspaceNewTabButton() {
  WorkspaceChipStyleSheet::ensureInstalled(get_display());
  add_css_class(kWorkspaceNewTabButtonClass);
  glyph_.set_from_icon_name("list-add-symbolic");
  gtk_accessible_update_state(GTK_ACCESSIBLE(glyph_.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
  set_child(glyph_);
  update(false, false);
}

void WorkspaceNewTabButton::update(bool isDark, bool disabled) {
  presentation_ = presentWorkspaceNewTabButton(isDark, disabled, false, newTabText());
  set_sensitive(presentation_.sensitive);
  set_tooltip_text(presentation_.tooltip);
  gtk_accessible_update_property(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 presentation_.accessibleLabel.c_str(), -1);
  add_css_class(isDark ? "dark" : "light");
  remove_css_class(isDark ? "light" : "dark");
}

}  // namespace orlith
