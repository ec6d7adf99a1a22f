// The mark's picture: contained (aspect kept) in a size × size square, centred.
#include "ui/OrlithMark.h"

#include <gio/gio.h>

#include <algorithm>
#include <mutex>

extern "C" void orlith_ui_register_resource(void);

namespace orlith {
namespace {

void registerResources() {
  static std::once_flag once;
  std::call_once(once, [] { orlith_ui_register_resource(); });
}

}  // namespace

OrlithMark::OrlithMark(int size)
    : Glib::ObjectBase("OrlithMark"), Gtk::Widget(), size_(size < 0 ? 0 : size) {
  registerResources();
  // Before the widget has a parent: GTK keeps the role it had when it was first shown.
  g_object_set(gobj(), "accessible-role", GTK_ACCESSIBLE_ROLE_PRESENTATION, nullptr);
  gtk_accessible_update_state(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
  gtk_accessible_update_state(GTK_ACCESSIBLE(picture_.gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE,
                              -1);
  add_css_class("orlith-mark");
  // A square of its size wherever it is put, not stretched by its parent.
  set_halign(Gtk::Align::CENTER);
  set_valign(Gtk::Align::CENTER);
  picture_.set_resource(artworkResourcePath());
  picture_.set_content_fit(Gtk::ContentFit::CONTAIN);
  picture_.set_can_shrink(true);
  picture_.set_parent(*this);
}

OrlithMark::~OrlithMark() {
  picture_.unparent();
}

const char* OrlithMark::artworkResourcePath() {
  return "/com/tolvik/orlith/ui/OrlithMark.png";
}

Gtk::SizeRequestMode OrlithMark::get_request_mode_vfunc() const {
  return Gtk::SizeRequestMode::CONSTANT_SIZE;
}

void OrlithMark::measure_vfunc(Gtk::Orientation, int, int& minimum, int& natural,
                               int& minimumBaseline, int& naturalBaseline) const {
  minimum = natural = size_;
  minimumBaseline = naturalBaseline = -1;
}

void OrlithMark::size_allocate_vfunc(int width, int height, int) {
  // A square of the mark's size, centred in whatever the parent gives.
  const int edge = std::min({size_, width, height});
  picture_.size_allocate(Gtk::Allocation((width - edge) / 2, (height - edge) / 2, edge, edge), -1);
}

}  // namespace orlith
