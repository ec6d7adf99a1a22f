// The two labels. The provider label fades with its button unless it shows its spinner: a
// loading label stays at full opacity.
#include "base/LocalizedStrings.h"
#include "signin/TextFitting.h"
#include "signin/gtk/AuthKitStyleSheet.h"
#include "signin/gtk/AuthPrimaryButtonLabel.h"
#include "signin/gtk/AuthSocialButtonLabel.h"

namespace orlith {
namespace {

// Shows and runs the spinner while loading, and marks the label for its style.
void showLoading(Gtk::Widget& label, OnScreenSpinner& spinner, bool isLoading) {
  spinner.set_visible(isLoading);
  spinner.setTurning(isLoading);
  if (isLoading)
    label.add_css_class(kLoadingClass);
  else
    label.remove_css_class(kLoadingClass);
}

}  // namespace

AuthSocialButtonLabel::AuthSocialButtonLabel(const Glib::ustring& title, bool isLoading,
                                             Gtk::Widget& icon)
    : slot_(Gtk::Orientation::HORIZONTAL),
      icon_(icon),
      title_(localizedString(title.raw()), kButtonTitleMinimumScale) {
  add_css_class(kAuthSocialLabelClass);
  set_hexpand(true);
  set_margin_start(15);
  set_margin_end(15);
  slot_.set_size_request(18, 18);
  slot_.set_valign(Gtk::Align::CENTER);
  icon_.set_halign(Gtk::Align::CENTER);
  icon_.set_valign(Gtk::Align::CENTER);
  icon_.set_hexpand(true);
  spinner_.set_size_request(16, 16);
  spinner_.set_halign(Gtk::Align::CENTER);
  spinner_.set_valign(Gtk::Align::CENTER);
  spinner_.set_hexpand(true);
  slot_.append(icon_);
  slot_.append(spinner_);
  set_start_widget(slot_);
  set_center_widget(title_);
  isLoading_ = !isLoading;
  setLoading(isLoading);
}

void AuthSocialButtonLabel::setLoading(bool isLoading) {
  if (isLoading == isLoading_)
    return;
  isLoading_ = isLoading;
  icon_.set_visible(!isLoading);
  showLoading(*this, spinner_, isLoading);
}

AuthPrimaryButtonLabel::AuthPrimaryButtonLabel(const Glib::ustring& title, bool isLoading)
    : Gtk::Box(Gtk::Orientation::HORIZONTAL, 8),
      title_(localizedString(title.raw()), kButtonTitleMinimumScale) {
  add_css_class(kAuthPrimaryLabelClass);
  set_hexpand(true);
  set_halign(Gtk::Align::CENTER);
  spinner_.set_size_request(16, 16);
  spinner_.set_valign(Gtk::Align::CENTER);
  append(spinner_);
  append(title_);
  isLoading_ = !isLoading;
  setLoading(isLoading);
}

void AuthPrimaryButtonLabel::setLoading(bool isLoading) {
  if (isLoading == isLoading_)
    return;
  isLoading_ = isLoading;
  showLoading(*this, spinner_, isLoading);
}

}  // namespace orlith
