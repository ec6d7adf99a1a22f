// The white capsule of a provider button, with a black veil on hover; disabled it fades to 0.48
// unless it keeps its look (while its provider sign-in is starting).
#pragma once

#include <gtkmm/button.h>

#include "signin/AuthSocialButtonKind.h"

namespace orlith {

class AuthSocialButtonStyle {
 public:
  AuthSocialButtonStyle(AuthSocialButtonKind kind, bool preservesDisabledAppearance)
      : kind_(kind), preservesDisabledAppearance_(preservesDisabledAppearance) {}

  AuthSocialButtonKind kind() const { return kind_; }
  // May be applied again to the same button with another flag.
  void apply(Gtk::Button& button) const;

 private:
  AuthSocialButtonKind kind_;
  bool preservesDisabledAppearance_;
};

}  // namespace orlith
