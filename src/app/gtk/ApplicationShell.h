// The shell's toolkit side for one application: the menu bar with its app. and win. actions
// and accelerators, the settings window, the install offer at launch, staying alive without
// windows, and reopen. The application object calls it at start-up, for each main window it
// opens and at each activation. No action lives in the application or in an application window:
// both export theirs on the session bus, where any process of the user could sign the person
// out or quit. Each window gets the groups inserted into it and its own shortcuts instead.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppDelegate.h"
#include "app/ApplicationContext.h"
#include "app/GeneralSettingsView.h"
#include "app/LoginItem.h"
#include "app/WorkspaceCommands.h"
#include "app/gtk/SettingsWindow.h"
#include "base/Observable.h"

namespace orlith {

class InstallOfferAlert;
class MainWindow;
class SettingsWindow;
class WorkspaceTabsModel;

class ApplicationShell {
 public:
  struct Options {
    // Opens and presents a new main window.
    std::function<void()> openWindow;
    // The running bundle; none outside one.
    std::optional<std::filesystem::path> bundlePath;
    std::shared_ptr<LoginItem> loginItem;
    std::function<void(const std::filesystem::path&)> revealInFiles;
  };

  // Every accelerator of the menu, by action name.
  struct Accelerator {
    const char* action;
    std::vector<Glib::ustring> keys;
  };
  static const std::vector<Accelerator>& accelerators();

  ApplicationShell(Gtk::Application& application, ApplicationContext& context, Options options);
  ~ApplicationShell();
  ApplicationShell(const ApplicationShell&) = delete;
  ApplicationShell& operator=(const ApplicationShell&) = delete;

  // At start-up: the app stays alive without windows, the install location is noted, the menu
  // bar and app actions are installed, and the offer is scheduled for the next turn.
  void startup();
  // Gives a main window the menu bar, the app. actions, its win. actions acting on its tabs and
  // the keyboard shortcuts.
  void attachWindow(MainWindow& window);
  // Gives another window of the app the app. actions and their shortcuts.
  void equipWindow(Gtk::Window& window);
  // A later activation: brings the open windows forward, or opens one.
  void reopen();

  void showSettings(SettingsWindow::Page page);
  // The settings window once made, else null.
  SettingsWindow* settingsWindow() { return settings_.get(); }
  InstallOfferAlert* installOfferAlert() { return offer_.get(); }
  AppDelegate& delegate() { return *delegate_; }
  WorkspaceCommands& commands() { return commands_; }
  const Glib::RefPtr<Gio::Menu>& menuBar() const { return menuBar_; }
  const Glib::RefPtr<Gio::SimpleActionGroup>& applicationActions() const { return appActions_; }
  // The win. actions of an attached main window, else null.
  Glib::RefPtr<Gio::SimpleActionGroup> windowActions(const Gtk::Window& window) const;

 private:
  struct AttachedWindow;

  void installApplicationActions();
  void refreshApplicationActions();
  void presentOffer(const InstallOffer& offer,
                    std::function<void(InstallOfferResponse, bool)> done);
  void windowActivityChanged();
  Gtk::Window* firstMainWindow() const;
  static void windowGone(gpointer self, GObject* gone);

  Gtk::Application& application_;
  ApplicationContext& context_;
  Options options_;
  WorkspaceCommands commands_;
  std::unique_ptr<AppDelegate> delegate_;
  std::shared_ptr<GeneralSettingsView> settingsView_;
  std::unique_ptr<SettingsWindow> settings_;
  std::unique_ptr<InstallOfferAlert> offer_;
  Glib::RefPtr<Gio::Menu> menuBar_;
  Glib::RefPtr<Gio::SimpleActionGroup> appActions_;
  Glib::RefPtr<Gio::SimpleAction> signOut_;
  Glib::RefPtr<Gio::SimpleAction> appearance_;
  std::vector<std::unique_ptr<AttachedWindow>> windows_;
  bool anyWindowActive_ = false;
  CoalescedCallback activityCheck_;
  ScopedConnection sessionChanged_;
  ScopedConnection preferenceChanged_;
};

}  // namespace orlith
