// The small marks at the leading edge of the welcome scene's buttons: our own simple drawings
// for the two providers and an envelope for e-mail, 18 × 18, hidden from assistive technologies.
#pragma once

#include <gtkmm.h>

#include "signin/AuthSocialButtonKind.h"

namespace orlith {

class ProviderGlyph : public Gtk::DrawingArea {
 public:
  static constexpr int kSize = 18;

  explicit ProviderGlyph(AuthSocialButtonKind kind);

 private:
  void draw(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) const;

  AuthSocialButtonKind kind_;
};

}  // namespace orlith
