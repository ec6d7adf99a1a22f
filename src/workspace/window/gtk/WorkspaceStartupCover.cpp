// Fills its place; the mark and spinner sit centred.
#include "workspace/window/gtk/WorkspaceStartupCover.h"

#include "base/LocalizedStrings.h"
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

WorkspaceStartupCover::WorkspaceStartupCover()
    : Gtk::Box(Gtk::Orientation::VERTICAL),
      column_(Gtk::Orientation::VERTICAL, kSpacing),
      mark_(kMarkSize) {
  add_css_class(kCanvasClass);
  add_css_class(kStartupCoverClass);
  set_hexpand(true);
  set_vexpand(true);
  column_.set_halign(Gtk::Align::CENTER);
  column_.set_valign(Gtk::Align::CENTER);
  column_.set_vexpand(true);
  mark_.set_halign(Gtk::Align::CENTER);
  spinner_.set_size_request(16, 16);
  spinner_.set_halign(Gtk::Align::CENTER);
  const std::string label = localizedString("Loading Orlith");
  gtk_accessible_update_property(GTK_ACCESSIBLE(spinner_.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
  spinner_.setTurning(true);
  column_.append(mark_);
  column_.append(spinner_);
  append(column_);
}

}  // namespace orlith
