// The filled button's label: the title, with a 16 × 16 spinner in front of it while loading.
#pragma once

#include <gtkmm/box.h>

#include "signin/gtk/ShrinkingLabel.h"
#include "ui/OnScreenSpinner.h"

namespace orlith {

class AuthPrimaryButtonLabel : public Gtk::Box {
 public:
  // `title` is a key of the string table.
  AuthPrimaryButtonLabel(const Glib::ustring& title, bool isLoading);

  void setLoading(bool isLoading);
  bool isLoading() const { return isLoading_; }

  OnScreenSpinner& spinner() { return spinner_; }
  ShrinkingLabel& title() { return title_; }

 private:
  OnScreenSpinner spinner_;
  ShrinkingLabel title_;
  bool isLoading_ = false;
};

}  // namespace orlith
