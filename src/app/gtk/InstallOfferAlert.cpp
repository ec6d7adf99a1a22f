// The install offer's window.
#include "app/gtk/InstallOfferAlert.h"

#include <utility>

namespace orlith {

InstallOfferAlert::InstallOfferAlert(const InstallOffer& offer, Done done)
    : done_(std::move(done)) {
  add_css_class("orlith-alert");
  set_modal(true);
  set_resizable(false);
  // No window title: the heading is inside, and a title would say it twice.
  title_.set_text(offer.messageText);
  title_.add_css_class("orlith-alert-title");
  title_.set_wrap(true);
  title_.set_xalign(0);
  message_.set_text(offer.informativeText);
  message_.set_wrap(true);
  message_.set_max_width_chars(48);
  message_.set_xalign(0);
  column_.set_margin(20);
  column_.set_size_request(360, -1);
  column_.append(title_);
  column_.append(message_);
  if (offer.suppressionTitle) {
    suppression_ = std::make_unique<Gtk::CheckButton>(*offer.suppressionTitle);
    column_.append(*suppression_);
  }
  first_.set_label(offer.firstButton);
  continue_.set_label(offer.secondButton);
  continue_.add_css_class("suggested-action");
  row_.set_halign(Gtk::Align::END);
  row_.append(first_);
  row_.append(continue_);
  column_.append(row_);
  set_child(column_);
  // Return continues without installing: installing takes a deliberate click.
  set_default_widget(continue_);
  continue_.set_receives_default(true);

  first_.signal_clicked().connect([this] { end(InstallOfferResponse::firstButton); });
  continue_.signal_clicked().connect([this] { end(InstallOfferResponse::continueAnyway); });
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType) {
        if (key != GDK_KEY_Escape)
          return false;
        end(InstallOfferResponse::continueAnyway);
        return true;
      },
      false);
  add_controller(keys);
  signal_close_request().connect(
      [this] {
        end(InstallOfferResponse::continueAnyway);
        return true;
      },
      false);
  signal_map().connect([this] { continue_.grab_focus(); });
}

void InstallOfferAlert::end(InstallOfferResponse response) {
  if (ended_)
    return;
  ended_ = true;
  const bool suppress = suppression_ && suppression_->get_active();
  set_visible(false);
  // The owner may destroy this window from the answer.
  auto done = std::move(done_);
  if (done)
    done(response, suppress);
}

}  // namespace orlith
