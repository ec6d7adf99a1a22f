// The offer to install into Applications as a modal window: its message, the informative text,
// the two buttons and the optional "Don't remind me again" box. "Continue Anyway" is the
// default, so Return picks it; Escape and a close from the window manager count as it too.
// The answer is delivered once, when the window ends.
#pragma once

#include <gtkmm.h>

#include <functional>

#include "app/AppDelegate.h"

namespace orlith {

class InstallOfferAlert : public Gtk::Window {
 public:
  using Done = std::function<void(InstallOfferResponse, bool suppress)>;

  InstallOfferAlert(const InstallOffer& offer, Done done);

  Gtk::Button& firstButton() { return first_; }
  Gtk::Button& continueButton() { return continue_; }
  // Null when the offer has no check box.
  Gtk::CheckButton* suppressionBox() { return suppression_.get(); }

 private:
  void end(InstallOfferResponse response);

  Gtk::Box column_{Gtk::Orientation::VERTICAL, 12};
  Gtk::Label title_;
  Gtk::Label message_;
  std::unique_ptr<Gtk::CheckButton> suppression_;
  Gtk::Box row_{Gtk::Orientation::HORIZONTAL, 8};
  Gtk::Button first_;
  Gtk::Button continue_;
  Done done_;
  bool ended_ = false;
};

}  // namespace orlith
