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

  for (Gtk::Window* open : app->get_windows())
    open->close();
  app->release();
  testing::spinUntil([] { return false; }, 200ms);
}

}  // namespace
}  // namespace orlith
