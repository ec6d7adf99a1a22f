// Rendering through GtkWidgetPaintable and the cairo renderer: no window system involved.
#include "WidgetPixels.h"

#include <algorithm>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace orlith::testing {

WidgetPixels::WidgetPixels(WidgetPixels&& other) noexcept
    : width(other.width),
      height(other.height),
      rgba(std::move(other.rgba)),
      texture(std::exchange(other.texture, nullptr)) {}

WidgetPixels::~WidgetPixels() {
  if (texture)
    g_object_unref(texture);
}

std::array<int, 4> WidgetPixels::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height)
    throw std::out_of_range("pixel outside the rendering");
  const guint8* p = &rgba[(static_cast<std::size_t>(y) * width + x) * 4];
  return {p[0], p[1], p[2], p[3]};
}

std::filesystem::path WidgetPixels::save(const std::string& name) const {
  std::filesystem::path folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts";
  std::filesystem::create_directories(folder);
  auto path = folder / (name + ".png");
  if (!texture || !gdk_texture_save_to_png(texture, path.c_str()))
    throw std::runtime_error("cannot write " + path.string());
  return path;
}

WidgetPixels renderWidget(GtkWidget* widget) {
  WidgetPixels out;
  out.width = gtk_widget_get_width(widget);
  out.height = gtk_widget_get_height(widget);
  if (out.width <= 0 || out.height <= 0)
    throw std::runtime_error("the widget has no size to render");
  GdkPaintable* paintable = gtk_widget_paintable_new(widget);
  GtkSnapshot* snapshot = gtk_snapshot_new();
  gdk_paintable_snapshot(paintable, snapshot, out.width, out.height);
  GskRenderNode* node = gtk_snapshot_free_to_node(snapshot);
  g_object_unref(paintable);
  if (!node)
    throw std::runtime_error("the widget drew nothing");
  GskRenderer* renderer = gsk_cairo_renderer_new();
  if (!gsk_renderer_realize(renderer, nullptr, nullptr)) {
    gsk_render_node_unref(node);
    g_object_unref(renderer);
    throw std::runtime_error("cannot realize the cairo renderer");
  }
  graphene_rect_t viewport =
      GRAPHENE_RECT_INIT(0, 0, static_cast<float>(out.width), static_cast<float>(out.height));
  out.texture = gsk_renderer_render_texture(renderer, node, &viewport);
  gsk_render_node_unref(node);
  gsk_renderer_unrealize(renderer);
  g_object_unref(renderer);

  // Cairo's layout: premultiplied, native-endian ARGB (BGRA in memory here).
  const gsize stride = static_cast<gsize>(out.width) * 4;
  std::vector<guint8> argb(stride * out.height);
  gdk_texture_download(out.texture, argb.data(), stride);
  out.rgba.resize(argb.size());
  for (std::size_t i = 0; i < argb.size(); i += 4) {
    const int b = argb[i], g = argb[i + 1], r = argb[i + 2], a = argb[i + 3];
    auto unpremultiply = [a](int c) { return a == 0 ? 0 : std::min(255, (c * 255 + a / 2) / a); };
    out.rgba[i] = static_cast<guint8>(unpremultiply(r));
    out.rgba[i + 1] = static_cast<guint8>(unpremultiply(g));
    out.rgba[i + 2] = static_cast<guint8>(unpremultiply(b));
    out.rgba[i + 3] = static_cast<guint8>(a);
  }
  return out;
}

bool closeTo(const std::array<int, 4>& actual, const std::array<int, 4>& expected, int tolerance) {
  for (int i = 0; i < 4; ++i) {
    if (std::abs(actual[i] - expected[i]) > tolerance)
      return false;
  }
  return true;
}

}  // namespace orlith::testing
