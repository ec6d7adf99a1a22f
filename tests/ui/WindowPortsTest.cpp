// The window ports' toolkit adapters on real windows: the window system follows a widget into
// and out of windows and their activity, and the beep rings without a crash after its widget.
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>

#include "UiHarness.h"
#include "workspace/window/gtk/GtkBeep.h"
#include "workspace/window/gtk/GtkWindowSystem.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

TEST(GtkWindowSystemTest, FollowsTheWidgetsWindowAndItsActivity) {
  GtkWidget* child = gtk_label_new("tab");
  g_object_ref_sink(child);
  GtkWindowSystem system(child);
  int changes = 0;
  system.changed().connect([&] { ++changes; });
  EXPECT_FALSE(system.hasWindow());
  EXPECT_FALSE(system.isActive());
  EXPECT_FALSE(system.isMinimized());

  GtkWindow* first = GTK_WINDOW(gtk_window_new());
  gtk_window_set_child(first, child);
  EXPECT_TRUE(system.hasWindow());
  EXPECT_GT(changes, 0);
  testing::presentAndWait(first);
  ASSERT_TRUE(testing::activate(first));
  EXPECT_TRUE(system.isActive());
  EXPECT_FALSE(system.isMinimized());
  EXPECT_FALSE(system.isFullscreen());

  GtkWindow* second = GTK_WINDOW(gtk_window_new());
  ASSERT_TRUE(testing::activate(first));
  changes = 0;
  testing::presentAndWait(second);
  ASSERT_TRUE(testing::activate(second));
  ASSERT_FALSE(gtk_window_is_active(first));
  EXPECT_FALSE(system.isActive());
  EXPECT_GT(changes, 0) << "the change of activity is signalled";

  // Moved into the other window, it follows that one.
  gtk_window_set_child(first, nullptr);
  EXPECT_FALSE(system.hasWindow());
  gtk_window_set_child(second, child);
  EXPECT_TRUE(system.hasWindow());
  ASSERT_TRUE(testing::activate(second));
  EXPECT_TRUE(system.isActive());

  changes = 0;
  gtk_window_destroy(second);
  EXPECT_FALSE(system.hasWindow());
  EXPECT_FALSE(system.isActive());
  EXPECT_GT(changes, 0);
  gtk_window_destroy(first);
  g_object_unref(child);
  EXPECT_FALSE(system.hasWindow());
}

TEST(GtkWindowSystemTest, OutlivesItsWidget) {
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  auto system = std::make_unique<GtkWindowSystem>(GTK_WIDGET(window));
  testing::presentAndWait(window);
  EXPECT_TRUE(system->hasWindow());
  gtk_window_destroy(window);
  testing::spinUntil([] { return false; }, 50ms);
  EXPECT_FALSE(system->hasWindow());
  system.reset();
}

TEST(GtkBeepTest, RingsOnItsWidgetAndDoesNothingOnceItIsGone) {
  GtkWindow* window = GTK_WINDOW(gtk_window_new());
  GtkBeep beep(GTK_WIDGET(window));
  testing::presentAndWait(window);
  beep.beep();
  gtk_window_destroy(window);
  testing::spinUntil([] { return false; }, 50ms);
  beep.beep();
}

}  // namespace
}  // namespace orlith
