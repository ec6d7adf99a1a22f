#include "app/gtk/RecoveryView.h"

namespace orlith {

RecoveryView::RecoveryView(RootView& root, const Localizer& localize, bool rightToLeft)
    : Gtk::Box(Gtk::Orientation::VERTICAL, 16), root_(root), localize_(localize) {
  add_css_class("orlith-recovery");
  set_direction(rightToLeft ? Gtk::TextDirection::RTL : Gtk::TextDirection::LTR);
  set_margin(32);
  set_halign(Gtk::Align::CENTER);
  set_valign(Gtk::Align::CENTER);
  title_.add_css_class("orlith-recovery-title");
  title_.set_wrap(true);
  title_.set_justify(Gtk::Justification::CENTER);
  message_.add_css_class("orlith-recovery-message");
  message_.set_wrap(true);
  message_.set_max_width_chars(48);
  message_.set_justify(Gtk::Justification::CENTER);
  tryAgain_.set_label(localize_("Try again"));
  tryAgain_.add_css_class("suggested-action");
  tryAgain_.set_halign(Gtk::Align::CENTER);
  signOut_.set_label(localize_("Sign out"));
  signOut_.set_has_frame(false);
  signOut_.set_halign(Gtk::Align::CENTER);
  tryAgain_.signal_clicked().connect([this] { root_.retryRecovery(); });
  signOut_.signal_clicked().connect([this] { root_.signOut(); });
  append(title_);
  append(message_);
  append(tryAgain_);
  append(signOut_);
  refresh();
}

void RecoveryView::refresh() {
  title_.set_text(localize_(root_.recoveryTitle()));
  message_.set_text(localize_(root_.recoveryMessage()));
}

}  // namespace orlith
