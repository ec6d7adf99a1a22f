// Draws the brand mark's artwork (a 256 px square PNG) at build time, so the tree holds its
// recipe rather than a binary: an orange rounded tile with a white ring and its small moon.
#include <cairo.h>

#include <cmath>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
    return 2;
  }
  constexpr int kSize = 256;
  constexpr double kPi = 3.14159265358979323846;
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, kSize, kSize);
  cairo_t* cr = cairo_create(surface);

  // The tile: a rounded square with a soft vertical gradient of the accent colour.
  const double inset = 8, radius = 58, edge = kSize - 2 * inset;
  cairo_new_sub_path(cr);
  cairo_arc(cr, inset + edge - radius, inset + radius, radius, -kPi / 2, 0);
  cairo_arc(cr, inset + edge - radius, inset + edge - radius, radius, 0, kPi / 2);
  cairo_arc(cr, inset + radius, inset + edge - radius, radius, kPi / 2, kPi);
  cairo_arc(cr, inset + radius, inset + radius, radius, kPi, 3 * kPi / 2);
  cairo_close_path(cr);
  cairo_pattern_t* tile = cairo_pattern_create_linear(0, inset, 0, inset + edge);
  cairo_pattern_add_color_stop_rgb(tile, 0, 0.984, 0.561, 0.302);
  cairo_pattern_add_color_stop_rgb(tile, 1, 0.890, 0.400, 0.160);
  cairo_set_source(cr, tile);
  cairo_fill(cr);
  cairo_pattern_destroy(tile);

  // The ring, open where the moon passes.
  const double centre = kSize / 2.0, ring = 60;
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_set_line_width(cr, 26);
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
  cairo_arc(cr, centre, centre, ring, -kPi / 4 + 0.55, -kPi / 4 - 0.55 + 2 * kPi);
  cairo_stroke(cr);

  // The moon on the ring's upper right.
  cairo_arc(cr, centre + ring * std::cos(-kPi / 4), centre + ring * std::sin(-kPi / 4), 19, 0,
            2 * kPi);
  cairo_fill(cr);

  cairo_destroy(cr);
  const cairo_status_t status = cairo_surface_write_to_png(surface, argv[1]);
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    std::fprintf(stderr, "cannot write %s: %s\n", argv[1], cairo_status_to_string(status));
    return 1;
  }
  return 0;
}
