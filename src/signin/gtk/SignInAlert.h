// A small modal alert: a title, a message and buttons. OK, Escape and a close from the window
// manager all end it through onDismissed; the owner destroys it.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <string>
#include <vector>

namespace orlith {

class SignInAlert : public Gtk::Window {
 public:
  struct Button {
    std::string title;
    std::function<void()> action;
    bool isDefault = false;
  };

  // With no buttons given, one "OK" (as `okTitle`) that only dismisses.
  SignInAlert(const std::string& title, const std::string& message, std::vector<Button> buttons,
              const std::string& okTitle, std::function<void()> onDismissed);

  Gtk::Label& messageLabel() { return message_; }
  Gtk::Button& button(std::size_t index) { return *buttons_.at(index); }
  // Ends the alert as a dismissal (no button's action).
  void dismiss();

 private:
  void end(const std::function<void()>& action);

  Gtk::Box column_{Gtk::Orientation::VERTICAL, 12};
  Gtk::Label title_;
  Gtk::Label message_;
  Gtk::Box row_{Gtk::Orientation::HORIZONTAL, 8};
  std::vector<std::unique_ptr<Gtk::Button>> buttons_;
  std::function<void()> onDismissed_;
  bool ended_ = false;
};

}  // namespace orlith
