// The session-recovery screen: why the stored sign-in cannot be used now, "Try again" and
// "Sign out".
#pragma once

#include <gtkmm.h>

#include <functional>

#include "app/RootView.h"

namespace orlith {

class RecoveryView : public Gtk::Box {
 public:
  using Localizer = std::function<std::string(const std::string&)>;

  RecoveryView(RootView& root, const Localizer& localize, bool rightToLeft);

  // The texts follow whether a session is still kept.
  void refresh();

  Gtk::Button& tryAgainButton() { return tryAgain_; }
  Gtk::Button& signOutButton() { return signOut_; }
  Gtk::Label& title() { return title_; }

 private:
  RootView& root_;
  Localizer localize_;
  Gtk::Label title_;
  Gtk::Label message_;
  Gtk::Button tryAgain_;
  Gtk::Button signOut_;
};

}  // namespace orlith
