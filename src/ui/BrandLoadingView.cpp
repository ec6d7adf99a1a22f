// Fills all the room it is given, its content centred.
#include "ui/BrandLoadingView.h"

namespace orlith {

BrandLoadingView::BrandLoadingView()
    : Gtk::Box(Gtk::Orientation::VERTICAL), stack_(Gtk::Orientation::VERTICAL, 18), mark_(56) {
  add_css_class("orlith-brand-loading");
  set_hexpand(true);
  set_vexpand(true);
  stack_.set_halign(Gtk::Align::CENTER);
  stack_.set_valign(Gtk::Align::CENTER);
  stack_.set_vexpand(true);
  mark_.set_halign(Gtk::Align::CENTER);
  spinner_.set_size_request(16, 16);
  spinner_.set_halign(Gtk::Align::CENTER);
  spinner_.setTurning(true);
  stack_.append(mark_);
  stack_.append(spinner_);
  append(stack_);
}

}  // namespace orlith
