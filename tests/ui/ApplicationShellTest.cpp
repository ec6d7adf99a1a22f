// The shell on a registered application: keyboard commands act on the focused window, also
// while its page has the keyboard focus; the settings window changes launch at login (the
// autostart entry appears and goes), diagnostics and the appearance for real and shows the
// version; the install offer's answer reaches the update port exactly once.
#include <gmock/gmock.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "RealInput.h"
#include "WorkspaceWindowFixture.h"
#include "app/GeneralSettingsView.h"
#include "app/gtk/ApplicationShell.h"
#include "app/gtk/InstallOfferAlert.h"
#include "app/gtk/SettingsWindow.h"
#include "app/gtk/XdgAutostartLoginItem.h"
#include "base/BundleInfo.h"
#include "support/RecordingUpdateClient.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

using testing::RecordingUpdateClient;

class ApplicationShellTest : public testing::WorkspaceWindowFixture {
 protected:
  void TearDown() override {
    if (shell_ && shell_->settingsWindow())
      shell_->settingsWindow()->set_visible(false);
    WorkspaceWindowFixture::TearDown();
    shell_.reset();
    if (application_)
      application_->release();
    application_.reset();
  }

  // A fresh launch with the shell on a registered application of the test's own.
  void start(std::optional<std::filesystem::path> bundle = std::nullopt) {
    auto updates = std::make_unique<RecordingUpdateClient>();
    updates_ = updates.get();
    windows_.clear();
    context_.reset();
    context_ = makeProductionApplicationContext(environment(), WorkspaceNetworkSession::shared(),
                                                keychainService_, std::move(updates));
    testing::awaitOnLoop(context_->sessionStore().restoreStoredSession());
    application_ = Gtk::Application::create(
        "com.tolvik.orlith.shelltest" + std::to_string(getpid()) + "n" + std::to_string(++runs_),
        Gio::Application::Flags::NON_UNIQUE);
    ASSERT_TRUE(application_->register_application());
    ApplicationShell::Options options;
    options.openWindow = [this] { openShellWindow(); };
    options.bundlePath = std::move(bundle);
    // The desktop counts an entry only when it finds the program it starts.
    const auto program = autostart_.path() / "bin" / "Orlith";
    std::filesystem::create_directories(program.parent_path());
    { std::ofstream(program) << "#!/bin/sh\n"; }
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    options.loginItem = std::make_shared<XdgAutostartLoginItem>(autostart_.path() / "autostart",
                                                                "com.tolvik.orlith.mac", program);
    options.revealInFiles = [this](const std::filesystem::path& path) {
      revealed_.push_back(path);
    };
    shell_ = std::make_unique<ApplicationShell>(*application_.get(), *context_, std::move(options));
    shell_->startup();
  }

  MainWindow& openShellWindow() {
    MainWindow& window = openWindow();
    application_->add_window(window);
    shell_->attachWindow(window);
    return window;
  }

  // The keys of the window's shortcuts that run `action`.
  static std::vector<std::string> shortcutKeys(Gtk::Window& window, const std::string& action) {
    std::vector<std::string> keys;
    auto controllers = window.observe_controllers();
    for (guint i = 0; i < controllers->get_n_items(); ++i) {
      auto shortcuts =
          std::dynamic_pointer_cast<Gtk::ShortcutController>(controllers->get_object(i));
      if (!shortcuts)
        continue;
      for (guint j = 0; j < shortcuts->get_n_items(); ++j) {
        auto shortcut = std::dynamic_pointer_cast<Gtk::Shortcut>(shortcuts->get_object(j));
        auto named = std::dynamic_pointer_cast<Gtk::NamedAction>(shortcut->get_action());
        if (named && named->get_action_name().raw() == action)
          keys.push_back(shortcut->get_trigger()->to_string().raw());
      }
    }
    return keys;
  }

  static std::vector<std::string> ids(const WorkspaceTabsModel& tabs) {
    std::vector<std::string> result;
    for (const auto& tab : tabs.tabs())
      result.push_back(tab->id());
    return result;
  }

  std::optional<double> storedZoom() {
    return context_->preferences().number(WorkspaceCommands::kPageZoomKey);
  }

  Glib::RefPtr<Gtk::Application> application_;
  std::unique_ptr<ApplicationShell> shell_;
  RecordingUpdateClient* updates_ = nullptr;
  TemporaryDirectory autostart_;
  std::vector<std::filesystem::path> revealed_;
  int runs_ = 0;
};

TEST_F(ApplicationShellTest, KeyboardCommandsActOnTheFocusedWindowAlsoWhileThePageHasFocus) {
  start();
  signIn(testing::kDemoAccount);
  MainWindow& window = openShellWindow();
  auto tabs = window.tabs();
  // UI tests share the display: the window is made active again and its selected page given
  // the keyboard focus before every key, and the key goes to the page.
  auto pressOnPage = [&](testing::KeySymbol key) {
    ASSERT_TRUE(waitReady(window, tabs->selectedTab(), 60s));
    ASSERT_TRUE(testing::activate(GTK_WINDOW(window.gobj()), 20s));
    auto* page = GTK_WIDGET(webViewOf(window, tabs->selectedTab()));
    gtk_widget_grab_focus(page);
    ASSERT_TRUE(testing::spinUntil([&] { return gtk_widget_has_focus(page); }, 5s));
    testing::pressControl(key);
  };

  pressOnPage(XK_t);
  ASSERT_TRUE(testing::spinUntil([&] { return tabs->tabs().size() == 2; }, 5s));
  const auto two = ids(*tabs);
  EXPECT_EQ(tabs->selectedID(), two[1]);
  pressOnPage(XK_1);
  ASSERT_TRUE(testing::spinUntil([&] { return tabs->selectedID() == two[0]; }, 5s));
  pressOnPage(XK_9);
  ASSERT_TRUE(testing::spinUntil([&] { return tabs->selectedID() == two[1]; }, 5s));
  pressOnPage(XK_w);
  ASSERT_TRUE(testing::spinUntil([&] { return tabs->tabs().size() == 1; }, 5s));
  EXPECT_EQ(tabs->selectedID(), two[0]);

  WebKitWebView* page = webViewOf(window, tabs->selectedTab());
  pressOnPage(XK_equal);
  ASSERT_TRUE(testing::spinUntil([&] { return storedZoom() == 1.1; }, 5s));
  EXPECT_DOUBLE_EQ(webkit_web_view_get_zoom_level(page), 1.1);
  pressOnPage(XK_minus);
  ASSERT_TRUE(testing::spinUntil([&] { return storedZoom() == 1.0; }, 5s));
  pressOnPage(XK_equal);
  ASSERT_TRUE(testing::spinUntil([&] { return storedZoom() == 1.1; }, 5s));
  pressOnPage(XK_0);
  ASSERT_TRUE(testing::spinUntil([&] { return storedZoom() == 1.0; }, 5s));
  EXPECT_DOUBLE_EQ(webkit_web_view_get_zoom_level(page), 1.0);

  // Reload: a mark the page keeps in memory is gone after it.
  ASSERT_EQ(testing::evaluate(page, "window.__shellMark = 7; window.__shellMark"), 7);
  pressOnPage(XK_r);
  EXPECT_TRUE(testing::waitFor(page, "window.__shellMark === undefined", 20s));
}

TEST_F(ApplicationShellTest, KeysActOnTheWindowThatHasFocusAndNotOnAnother) {
  start();
  signIn(testing::kDemoAccount);
  MainWindow& first = openShellWindow();
  MainWindow& second = openShellWindow();
  ASSERT_TRUE(testing::activate(GTK_WINDOW(first.gobj()), 20s));
  testing::pressControl(XK_t);
  ASSERT_TRUE(testing::spinUntil([&] { return first.tabs()->tabs().size() == 2; }, 5s));
  EXPECT_EQ(second.tabs()->tabs().size(), 1u);
  ASSERT_TRUE(testing::activate(GTK_WINDOW(second.gobj()), 20s));
  testing::pressControl(XK_t);
  ASSERT_TRUE(testing::spinUntil([&] { return second.tabs()->tabs().size() == 2; }, 5s));
  EXPECT_EQ(first.tabs()->tabs().size(), 2u);

  // The settings window takes the app's keys too, and none of a main window's; Escape closes
  // it.
  testing::pressControl(XK_comma);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return shell_->settingsWindow() && shell_->settingsWindow()->get_visible(); }, 5s));
  ASSERT_TRUE(testing::activate(GTK_WINDOW(shell_->settingsWindow()->gobj()), 20s));
  testing::pressKeys({}, XK_Escape);
  ASSERT_TRUE(testing::spinUntil([&] { return !shell_->settingsWindow()->get_visible(); }, 5s));
  shell_->showSettings(SettingsWindow::Page::general);
  ASSERT_TRUE(testing::activate(GTK_WINDOW(shell_->settingsWindow()->gobj()), 20s));
  testing::pressControl(XK_t);
  testing::pressControl(XK_n);
  ASSERT_TRUE(testing::spinUntil([&] { return windows_.size() == 3; }, 5s));
  EXPECT_EQ(first.tabs()->tabs().size(), 2u);
  EXPECT_EQ(second.tabs()->tabs().size(), 2u);
}

TEST_F(ApplicationShellTest, MenuAndAcceleratorsAreInstalledAndFollowTheSession) {
  start();
  MainWindow& window = openShellWindow();
  // Nothing where the session bus publishes it: no application action, no application menu.
  EXPECT_TRUE(application_->list_actions().empty());
  EXPECT_FALSE(application_->get_menubar());
  EXPECT_EQ(window.menuBar().get_menu_model(), shell_->menuBar());
  EXPECT_THAT(shortcutKeys(window, "win.zoom-in"),
              ::testing::ElementsAre("<Control>plus", "<Control>equal", "<Control>KP_Add"));
  EXPECT_THAT(shortcutKeys(window, "win.next-tab"),
              ::testing::ElementsAre("<Shift><Control>bracketright", "<Control>braceright"));
  EXPECT_THAT(shortcutKeys(window, "app.preferences"), ::testing::ElementsAre("<Control>comma"));
  auto signOut = std::dynamic_pointer_cast<Gio::SimpleAction>(
      shell_->applicationActions()->lookup_action("sign-out"));
  auto newTab = std::dynamic_pointer_cast<Gio::SimpleAction>(
      shell_->windowActions(window)->lookup_action("new-tab"));
  ASSERT_TRUE(signOut && newTab);
  EXPECT_FALSE(signOut->get_enabled());
  EXPECT_FALSE(newTab->get_enabled());
  signIn(testing::kDemoAccount);
  ASSERT_TRUE(testing::spinUntil([&] { return newTab->get_enabled(); }, 5s));
  EXPECT_TRUE(signOut->get_enabled());

  // The menu's items reach the groups through the window.
  EXPECT_TRUE(window.activate_action("win.new-tab"));
  EXPECT_EQ(window.tabs()->tabs().size(), 2u);

  // The appearance choice is one radio action that follows the stored choice.
  window.activate_action("app.appearance", Glib::Variant<Glib::ustring>::create("dark"));
  EXPECT_EQ(context_->preferences().string("orlith.appearance"), "dark");
  context_->appearance().setPreference(OrlithAppearancePreference::light);
  auto state = Glib::VariantBase::cast_dynamic<Glib::Variant<Glib::ustring>>(
      shell_->applicationActions()->lookup_action("appearance")->get_state_variant());
  EXPECT_EQ(state.get().raw(), "light");
  context_->appearance().setPreference(OrlithAppearancePreference::system);
}

TEST_F(ApplicationShellTest, SettingsChangeLaunchAtLoginDiagnosticsAndAppearanceForReal) {
  start();
  signIn(testing::kDemoAccount);
  shell_->applicationActions()->activate_action("preferences");
  SettingsWindow* settings = shell_->settingsWindow();
  ASSERT_NE(settings, nullptr);
  testing::presentAndWait(GTK_WINDOW(settings->gobj()));
  int width = 0, height = 0;
  settings->get_default_size(width, height);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(480, 340));
  EXPECT_EQ(settings->get_title(), "General");

  const auto entry = autostart_.path() / "autostart/com.tolvik.orlith.mac.desktop";
  Gtk::Switch& login = settings->loginItemSwitch();
  ASSERT_TRUE(testing::spinUntil([&] { return login.get_sensitive(); }, 5s));
  EXPECT_FALSE(login.get_state());
  login.set_active(true);
  ASSERT_TRUE(testing::spinUntil([&] { return login.get_sensitive() && login.get_state(); }, 5s));
  EXPECT_TRUE(std::filesystem::exists(entry));
  EXPECT_FALSE(settings->loginItemErrorLabel().get_visible());
  login.set_active(false);
  ASSERT_TRUE(testing::spinUntil([&] { return login.get_sensitive() && !login.get_state(); }, 5s));
  EXPECT_FALSE(std::filesystem::exists(entry));

  // A folder that cannot take the entry: the switch stays off and says so.
  std::filesystem::create_directories(autostart_.path());
  std::filesystem::remove_all(autostart_.path() / "autostart");
  { std::ofstream(autostart_.path() / "autostart") << ""; }
  login.set_active(true);
  ASSERT_TRUE(testing::spinUntil([&] { return login.get_sensitive(); }, 5s));
  EXPECT_FALSE(login.get_state());
  EXPECT_TRUE(settings->loginItemErrorLabel().get_visible());
  EXPECT_EQ(settings->loginItemErrorLabel().get_text().raw(),
            "Couldn't change launch at login. Check your autostart settings.");
  std::filesystem::remove(autostart_.path() / "autostart");

  Gtk::Switch& diagnostics = settings->diagnosticsSwitch();
  diagnostics.set_active(true);
  EXPECT_EQ(context_->preferences().boolean(GeneralSettingsView::kDiagnosticsKey), true);
  diagnostics.set_active(false);
  EXPECT_EQ(context_->preferences().boolean(GeneralSettingsView::kDiagnosticsKey), false);

  settings->appearanceButton(OrlithAppearancePreference::dark).set_active(true);
  EXPECT_EQ(context_->preferences().string("orlith.appearance"), "dark");
  EXPECT_TRUE(context_->appearance().resolvedIsDark());
  settings->appearanceButton(OrlithAppearancePreference::system).set_active(true);
  EXPECT_FALSE(context_->appearance().resolvedIsDark());
  // A choice made elsewhere shows here.
  context_->appearance().setPreference(OrlithAppearancePreference::light);
  EXPECT_TRUE(settings->appearanceButton(OrlithAppearancePreference::light).get_active());
  context_->appearance().setPreference(OrlithAppearancePreference::system);

  EXPECT_TRUE(settings->accountSection().get_visible());
  EXPECT_EQ(settings->accountEmail().get_text().raw(), testing::kDemoAccount);
  testing::spinUntil([] { return false; }, 300ms);
  testing::renderWidget(GTK_WIDGET(settings->get_child()->gobj())).save("settings-general");
  shell_->applicationActions()->activate_action("about");
  EXPECT_EQ(settings->page(), SettingsWindow::Page::about);
  EXPECT_EQ(settings->get_title(), "About");
  EXPECT_EQ(settings->versionLabel().get_text().raw(), "Version " +
                                                           BundleInfo::main().appVersion() + " (" +
                                                           BundleInfo::main().buildVersion() + ")");
  testing::spinUntil([] { return false; }, 300ms);
  testing::renderWidget(GTK_WIDGET(settings->get_child()->gobj())).save("settings-about");

  context_->sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return !settings->accountSection().get_visible(); }, 5s));
}

TEST_F(ApplicationShellTest, ReturnOnTheInstallOfferContinuesAndTheDecisionArrivesOnce) {
  TemporaryDirectory downloads;
  const auto bundle = downloads.path() / "Orlith.app";
  std::filesystem::create_directories(bundle);
  start(bundle);
  EXPECT_TRUE(updates_->pending);
  MainWindow& window = openShellWindow();
  ASSERT_TRUE(testing::spinUntil([&] { return shell_->installOfferAlert() != nullptr; }, 5s));
  InstallOfferAlert& alert = *shell_->installOfferAlert();
  EXPECT_EQ(alert.get_transient_for(), &window);
  EXPECT_TRUE(alert.get_modal());
  ASSERT_NE(alert.suppressionBox(), nullptr);
  EXPECT_EQ(alert.firstButton().get_label(), "Install & Open");
  EXPECT_EQ(alert.get_title(), "") << "the heading is not repeated as the window's title";
  testing::presentAndWait(GTK_WINDOW(alert.gobj()));
  ASSERT_TRUE(testing::activate(GTK_WINDOW(alert.gobj()), 20s));
  EXPECT_TRUE(updates_->decisions.empty());
  testing::pressKeys({}, XK_Return);
  ASSERT_TRUE(testing::spinUntil([&] { return !updates_->decisions.empty(); }, 5s));
  testing::spinUntil([] { return false; }, 300ms);
  EXPECT_EQ(updates_->decisions, std::vector<bool>{false});
  EXPECT_FALSE(updates_->pending);
  EXPECT_EQ(shell_->installOfferAlert(), nullptr);
  EXPECT_FALSE(context_->preferences().boolean(AppDelegate::kDismissedReminderKey).value_or(false));
}

TEST_F(ApplicationShellTest, TickedInstallIsDeliveredOnceAndRemembered) {
  TemporaryDirectory downloads;
  const auto bundle = downloads.path() / "Orlith.app";
  std::filesystem::create_directories(bundle);
  context_.reset();
  DesktopSurfaceServices::shared().preferences().remove(AppDelegate::kDismissedReminderKey);
  start(bundle);
  openShellWindow();
  ASSERT_TRUE(testing::spinUntil([&] { return shell_->installOfferAlert() != nullptr; }, 5s));
  InstallOfferAlert& alert = *shell_->installOfferAlert();
  alert.suppressionBox()->set_active(true);
  alert.firstButton().activate();
  ASSERT_TRUE(testing::spinUntil([&] { return !updates_->decisions.empty(); }, 5s));
  alert.close();  // a late close from the window manager changes nothing
  testing::spinUntil([] { return false; }, 300ms);
  EXPECT_EQ(updates_->decisions, std::vector<bool>{true});
  EXPECT_EQ(context_->preferences().boolean(AppDelegate::kDismissedReminderKey), true);

  // The next launch from the same place asks nothing and still delivers its decision.
  start(bundle);
  openShellWindow();
  ASSERT_TRUE(testing::spinUntil([&] { return !updates_->decisions.empty(); }, 5s));
  EXPECT_EQ(shell_->installOfferAlert(), nullptr);
  EXPECT_EQ(updates_->decisions, std::vector<bool>{false});
  context_->preferences().remove(AppDelegate::kDismissedReminderKey);
}

TEST_F(ApplicationShellTest, ReopenPresentsOpenWindowsOrOpensOne) {
  start();
  EXPECT_EQ(application_->get_windows().size(), 0u);
  shell_->reopen();
  ASSERT_EQ(windows_.size(), 1u);
  shell_->reopen();
  EXPECT_EQ(windows_.size(), 1u) << "an open window is brought forward, not another opened";
  // A closed settings window stays closed.
  shell_->applicationActions()->activate_action("preferences");
  shell_->settingsWindow()->close();
  shell_->reopen();
  EXPECT_FALSE(shell_->settingsWindow()->get_visible());
  EXPECT_EQ(windows_.size(), 1u);
}

}  // namespace
}  // namespace orlith
