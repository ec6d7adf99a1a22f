#include "signin/gtk/ProviderGlyph.h"

#include <cmath>

namespace orlith {

ProviderGlyph::ProviderGlyph(AuthSocialButtonKind kind) : kind_(kind) {
  set_content_width(kSize);
  set_content_height(kSize);
  set_size_request(kSize, kSize);
  set_halign(Gtk::Align::CENTER);
  set_valign(Gtk::Align::CENTER);
  gtk_accessible_update_state(GTK_ACCESSIBLE(gobj()), GTK_ACCESSIBLE_STATE_HIDDEN, TRUE, -1);
  set_draw_func(sigc::mem_fun(*this, &ProviderGlyph::draw));
}

void ProviderGlyph::draw(const Cairo::RefPtr<Cairo::Context>& cairo, int width, int height) const {
  const double size = std::min(width, height);
  const double centre = size / 2.0;
  cairo->translate((width - size) / 2.0, (height - size) / 2.0);
  switch (kind_) {
    case AuthSocialButtonKind::google: {
      // An open ring in four colours with a bar into its middle.
      const double radius = size * 0.36;
      const double line = size * 0.18;
      cairo->set_line_width(line);
      const struct {
        double from, to, r, g, b;
      } arcs[] = {{-0.25, 0.35, 0.26, 0.52, 0.96},
                  {0.35, 0.75, 0.20, 0.66, 0.33},
                  {0.75, 1.05, 0.98, 0.74, 0.02},
                  {1.05, 1.62, 0.92, 0.26, 0.21}};
      for (const auto& arc : arcs) {
        cairo->set_source_rgb(arc.r, arc.g, arc.b);
        cairo->arc(centre, centre, radius, arc.from * M_PI, arc.to * M_PI);
        cairo->stroke();
      }
      cairo->set_source_rgb(0.26, 0.52, 0.96);
      cairo->rectangle(centre, centre - line / 2.0, radius + line / 2.0, line);
      cairo->fill();
      break;
    }
    case AuthSocialButtonKind::github: {
      // A dark disc with two light eyes.
      cairo->set_source_rgb(0.09, 0.09, 0.09);
      cairo->arc(centre, centre, size * 0.47, 0, 2 * M_PI);
      cairo->fill();
      cairo->set_source_rgb(1, 1, 1);
      cairo->arc(centre - size * 0.15, centre, size * 0.08, 0, 2 * M_PI);
      cairo->fill();
      cairo->arc(centre + size * 0.15, centre, size * 0.08, 0, 2 * M_PI);
      cairo->fill();
      break;
    }
    case AuthSocialButtonKind::email: {
      // An envelope, grey 0.122 in both appearances.
      cairo->set_source_rgb(0.122, 0.122, 0.122);
      cairo->set_line_width(1.6);
      cairo->set_line_join(Cairo::Context::LineJoin::ROUND);
      const double left = size * 0.1, right = size * 0.9, top = size * 0.22, bottom = size * 0.78;
      cairo->rectangle(left, top, right - left, bottom - top);
      cairo->stroke();
      cairo->move_to(left, top);
      cairo->line_to(centre, centre + size * 0.04);
      cairo->line_to(right, top);
      cairo->stroke();
      break;
    }
  }
}

}  // namespace orlith
