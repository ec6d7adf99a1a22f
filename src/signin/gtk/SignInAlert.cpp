#include "signin/gtk/SignInAlert.h"

namespace orlith {

SignInAlert::SignInAlert(const std::string& title, const std::string& message,
                         std::vector<Button> buttons, const std::string& okTitle,
                         std::function<void()> onDismissed)
    : onDismissed_(std::move(onDismissed)) {
  add_css_class("orlith-alert");
  set_modal(true);
  set_resizable(false);
  set_title(title);
  title_.set_text(title);
  title_.add_css_class("orlith-alert-title");
  title_.set_wrap(true);
  message_.set_text(message);
  message_.set_wrap(true);
  message_.set_max_width_chars(40);
  message_.set_selectable(false);
  if (buttons.empty())
    buttons.push_back(Button{okTitle, nullptr, true});
  row_.set_halign(Gtk::Align::END);
  for (Button& spec : buttons) {
    auto button = std::make_unique<Gtk::Button>(spec.title);
    if (spec.isDefault)
      button->add_css_class("suggested-action");
    button->signal_clicked().connect([this, action = spec.action] { end(action); });
    row_.append(*button);
    buttons_.push_back(std::move(button));
  }
  column_.set_margin(20);
  column_.set_size_request(260, -1);
  column_.append(title_);
  column_.append(message_);
  column_.append(row_);
  set_child(column_);

  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint key, guint, Gdk::ModifierType) {
        if (key != GDK_KEY_Escape)
          return false;
        dismiss();
        return true;
      },
      false);
  add_controller(keys);
  signal_close_request().connect(
      [this] {
        dismiss();
        return true;
      },
      false);
  signal_map().connect([this] {
    if (!buttons_.empty())
      buttons_.back()->grab_focus();
  });
}

void SignInAlert::dismiss() {
  end(nullptr);
}

void SignInAlert::end(const std::function<void()>& action) {
  if (ended_)
    return;
  ended_ = true;
  set_visible(false);
  if (action)
    action();
  if (onDismissed_)
    onDismissed_();
}

}  // namespace orlith
