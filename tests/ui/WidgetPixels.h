// Widgets rendered in process to pixels, for colour checks and for pictures a person looks at.
#pragma once

#include <gtk/gtk.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

namespace orlith::testing {

struct WidgetPixels {
  int width = 0;
  int height = 0;
  // Unpremultiplied RGBA, row by row.
  std::vector<guint8> rgba;
  GdkTexture* texture = nullptr;

  WidgetPixels() = default;
  WidgetPixels(const WidgetPixels&) = delete;
  WidgetPixels& operator=(const WidgetPixels&) = delete;
  WidgetPixels(WidgetPixels&& other) noexcept;
  ~WidgetPixels();

  std::array<int, 4> at(int x, int y) const;
  // Saves a PNG into the build's ui-artifacts folder.
  std::filesystem::path save(const std::string& name) const;
};

// The widget as it draws now, through the software renderer.
WidgetPixels renderWidget(GtkWidget* widget);

// Whether two colours agree within `tolerance` per channel.
bool closeTo(const std::array<int, 4>& actual, const std::array<int, 4>& expected,
             int tolerance = 3);

}  // namespace orlith::testing
