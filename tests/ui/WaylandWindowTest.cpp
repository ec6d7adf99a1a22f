// The main window's top edge on Wayland, run under a headless weston of its own (see
// scripts/lib/with-weston): the signed-in page starts right under the chrome, which holds the
// window's buttons, and a picture of the compositor's screen is kept for a person to look at.
// Elsewhere it is skipped.
#include <gdk/wayland/gdkwayland.h>
#include <gmock/gmock.h>

#include <signal.h>
#include <sys/wait.h>

#include <filesystem>
#include <iostream>

#include "WorkspaceWindowFixture.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

double topIn(Gtk::Widget& widget, Gtk::Widget& target) {
  graphene_rect_t rect;
  return gtk_widget_compute_bounds(widget.gobj(), target.gobj(), &rect) ? rect.origin.y : -1;
}

// The compositor's whole screen in the build's ui-artifacts folder, by weston's own tool; where
// it takes no picture, the window's own drawing. Either is for a person to look at.
void saveCompositorScreen(const std::string& name, GtkWidget* window) {
  testing::spinUntil([] { return false; }, 500ms);
  const auto folder = std::filesystem::path(ORLITH_BINARY_DIR) / "ui-artifacts" / "weston";
  std::filesystem::remove_all(folder);
  std::filesystem::create_directories(folder);
  const gchar* argv[] = {"weston-screenshooter", nullptr};
  GPid pid = 0;
  ASSERT_TRUE(
      g_spawn_async(folder.c_str(), const_cast<gchar**>(argv), nullptr,
                    static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                    nullptr, nullptr, &pid, nullptr));
  // The compositor draws the picture while this client goes on answering it.
  bool ended = testing::spinUntil([&] { return waitpid(pid, nullptr, WNOHANG) == pid; }, 20s);
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (!ended) {
    std::cerr << "weston-screenshooter took no picture: the window's own drawing is kept\n";
    testing::renderWidget(window).save(name);
    return;
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".png")
      std::filesystem::rename(entry.path(), folder.parent_path() / (name + ".png"));
  }
}

class WaylandWindow : public testing::WorkspaceWindowFixture {};

TEST_F(WaylandWindow, TheSignedInPageStartsRightUnderTheChromeWithTheButtonsInIt) {
  if (!GDK_IS_WAYLAND_DISPLAY(gdk_display_get_default()))
    GTEST_SKIP() << "runs under weston";
  g_object_set(gtk_settings_get_default(), "gtk-decoration-layout", ":minimize,maximize,close",
               nullptr);
  launch();
  signIn(testing::kDemoAccount);
  MainWindow& window = openWindow();
  ASSERT_TRUE(waitReady(window, window.tabs()->selectedTab(), 60s));
  gtk_test_widget_wait_for_draw(GTK_WIDGET(window.gobj()));
  testing::spinUntil([] { return false; }, 500ms);
  WorkspaceChrome& chrome = window.workspace()->chrome();
  auto* page = Glib::wrap(GTK_WIDGET(webViewOf(window, window.tabs()->selectedTab())));
  // The window's coordinates start at its visible frame, inside the shadow it draws.
  EXPECT_LE(topIn(chrome, window), 1);
  const double pageTop = topIn(*page, window);
  EXPECT_GE(pageTop, 34);
  EXPECT_LE(pageTop, 52);
  Gtk::WindowControls& buttons = chrome.windowControls(Gtk::PackType::END);
  EXPECT_TRUE(buttons.get_visible());
  EXPECT_LE(topIn(buttons, chrome) + buttons.get_height(), 34);
  EXPECT_FALSE(window.menuBar().get_visible());
  saveCompositorScreen("wayland-signed-in-window", GTK_WIDGET(window.gobj()));
}

}  // namespace
}  // namespace orlith
