// The application object as the program runs it, in this process: registered on the test
// session's bus, activated, signed in through its window against the stand-in at the build's
// own origin, and given links of the app's scheme.
#include <gmock/gmock.h>

#include "OrlithBuildConfig.h"
#include "WorkspaceWindowFixture.h"
#include "app/gtk/OrlithApplication.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

MainWindow* firstMainWindow(OrlithApplication& app) {
  for (Gtk::Window* window : app.get_windows()) {
    if (auto* main = dynamic_cast<MainWindow*>(window))
      return main;
  }
  return nullptr;
}

void click(Gtk::Button& button) {
  g_signal_emit_by_name(button.gobj(), "clicked");
}

TEST(OrlithApplication, StartsSignedOutSignsInThroughItsWindowAndTakesLinks) {
  const std::string port = std::to_string(*Url::parse(build::kServiceOrigin)->port());
  testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                                  {"--port", port});
  auto app = OrlithApplication::create();
  ASSERT_TRUE(app->register_application());
  app->activate();

  MainWindow* window = nullptr;
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        window = firstMainWindow(*app);
        return window && window->signInView() && window->signInView()->get_mapped();
      },
      30s));
  ApplicationContext& context = *app->context();
  EXPECT_TRUE(context.sessionStore().didBootstrap());
  EXPECT_EQ(window->get_title(), "Orlith");
  EXPECT_TRUE(window->updateIndicator() == nullptr || window->updateIndicator()->get_visible());

  // A provider callback with no sign-in waiting is dropped.
  app->openLink("orlith://auth/callback?token=nobody-waits");
  // A billing return while signed out waits for the sign-in.
  app->openLink("orlith://billing/return");
  EXPECT_TRUE(window->rootView().pendingBillingReturn());

  SignInView& view = *window->signInView();
  click(view.emailButton());
  testing::spinUntil([] { return false; }, 100ms);
  view.emailEntry().set_text(testing::kDemoAccount);
  view.passwordEntry().set_text(testing::kPassword);
  g_signal_emit_by_name(view.passwordEntry().gobj(), "activate");
  ASSERT_TRUE(testing::spinUntil([&] { return window->workspace() != nullptr; }, 30s));
  EXPECT_FALSE(window->rootView().pendingBillingReturn());

  // Signing out brings the sign-in view back in the same window.
  context.sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return window->signInView() != nullptr; }, 10s));
  EXPECT_EQ(window->workspace(), nullptr);

  // Closed, the window goes with everything it holds.
  struct Gone : sigc::notifiable {
    bool gone = false;
  } closed;
  window->add_destroy_notify_callback(
      &closed, [](sigc::notifiable* data) { static_cast<Gone*>(data)->gone = true; });
  for (Gtk::Window* open : app->get_windows())
    open->close();
  EXPECT_TRUE(testing::spinUntil([&] { return closed.gone; }, 10s)) << "the closed window lives on";
  app->release();
  testing::spinUntil([] { return false; }, 200ms);
}

// The program started a second time with a link hands the link to this running instance over
// the session bus and exits.
TEST(OrlithApplication, ASecondLaunchForwardsItsLinkAndExits) {
  const std::string port = std::to_string(*Url::parse(build::kServiceOrigin)->port());
  testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                                  {"--port", port});
  auto app = OrlithApplication::create();
  ASSERT_TRUE(app->register_application());
  ASSERT_FALSE(app->is_remote());
  app->activate();
  MainWindow* window = nullptr;
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        window = firstMainWindow(*app);
        return window && window->signInView() != nullptr;
      },
      30s));

  auto launchWith = [](const char* link) {
    const std::string program = ORLITH_BUNDLE_DIR "/Contents/MacOS/Orlith";
    const gchar* argv[] = {"timeout", "20", program.c_str(), link, nullptr};
    gint status = -1;
    GError* error = nullptr;
    // The primary answers the forwarded link on this loop, so the child is waited for here too.
    GPid pid = 0;
    if (!g_spawn_async(nullptr, const_cast<gchar**>(argv), nullptr,
                       static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD),
                       nullptr, nullptr, &pid, &error)) {
      g_clear_error(&error);
      return -1;
    }
    bool exited = false;
    std::pair<bool*, gint*> outcome{&exited, &status};
    const guint watch = g_child_watch_add(
        pid,
        [](GPid child, gint childStatus, gpointer data) {
          auto* out = static_cast<std::pair<bool*, gint*>*>(data);
          *out->first = true;
          *out->second = childStatus;
          g_spawn_close_pid(child);
        },
        &outcome);
    if (!testing::spinUntil([&] { return exited; }, 30s))
      g_source_remove(watch);
    return exited && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  // Not quite the billing return: handed over, and ignored.
  EXPECT_EQ(launchWith("orlith://billing/return?from=elsewhere"), 0);
  testing::spinUntil([] { return false; }, 200ms);
  EXPECT_FALSE(window->rootView().pendingBillingReturn());
  EXPECT_EQ(launchWith("orlith://billing/return"), 0);
  EXPECT_TRUE(testing::spinUntil([&] { return window->rootView().pendingBillingReturn(); }, 10s));
  EXPECT_EQ(firstMainWindow(*app), window);

  for (Gtk::Window* open : app->get_windows())
    open->close();
  app->release();
  testing::spinUntil([] { return false; }, 200ms);
}

}  // namespace
}  // namespace orlith
