// The harness itself: the fixed display settings every UI test measures against, and the
// in-process drawing that colour probes read.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>

#include "UiHarness.h"

namespace orlith {
namespace {

TEST(UiHarnessTest, DisplaySettingsAreTheFixedOnes) {
  GtkSettings* settings = gtk_settings_get_default();
  int dpi = 0;
  gboolean animations = TRUE;
  char* font = nullptr;
  g_object_get(settings, "gtk-xft-dpi", &dpi, "gtk-enable-animations", &animations, "gtk-font-name",
               &font, nullptr);
  const std::string fontName = font ? font : "";
  g_free(font);
  EXPECT_EQ(dpi, testing::kTestXftDpi) << "sizes in the UI tests assume 96 dots per inch";
  EXPECT_FALSE(animations);
  EXPECT_EQ(fontName, testing::kTestFontName);
  ASSERT_NE(std::getenv("GTK_A11Y"), nullptr);
  EXPECT_STREQ(std::getenv("GTK_A11Y"), "test");
}

TEST(UiHarnessTest, RendersAWidgetInProcessForColourProbes) {
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  GtkCssProvider* css = gtk_css_provider_new();
  gtk_css_provider_load_from_data(
      css,
      ".probe-left { background: rgb(200, 40, 10); } .probe-right { background: rgb(0, 90, 250); }",
      -1);
  gtk_style_context_add_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(css),
                                             GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 0);
  GtkWidget* left = gtk_label_new(nullptr);
  GtkWidget* right = gtk_label_new(nullptr);
  gtk_widget_add_css_class(left, "probe-left");
  gtk_widget_add_css_class(right, "probe-right");
  gtk_widget_set_size_request(left, 40, 30);
  gtk_widget_set_size_request(right, 60, 30);
  gtk_box_append(GTK_BOX(box), left);
  gtk_box_append(GTK_BOX(box), right);
  gtk_window_set_child(window, box);
  gtk_window_set_default_size(window, 100, 30);
  testing::presentAndWait(window);
  ASSERT_TRUE(gtk_widget_get_mapped(box));

  testing::WidgetPixels pixels = testing::renderWidget(box);
  EXPECT_EQ(pixels.width(), gtk_widget_get_width(box));
  EXPECT_EQ(pixels.height(), gtk_widget_get_height(box));
  EXPECT_PRED2([](auto a, auto b) { return a.near(b); }, pixels.at(20, 15),
               (testing::Rgba{200, 40, 10, 255}));
  EXPECT_PRED2([](auto a, auto b) { return a.near(b); }, pixels.at(pixels.width() - 20, 15),
               (testing::Rgba{0, 90, 250, 255}));
  EXPECT_THROW(pixels.at(pixels.width(), 0), std::out_of_range);
  pixels.save("harness-colour-probe");

  gtk_style_context_remove_provider_for_display(gdk_display_get_default(), GTK_STYLE_PROVIDER(css));
  g_object_unref(css);
  gtk_window_destroy(window);
}

}  // namespace
}  // namespace orlith
