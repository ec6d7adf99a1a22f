// The 34 px bar across the top of a signed-in window: the leading slot, the selected tab's
// navigation, the update indicator, the tab strip, search and the account menu. The window's
// buttons stand where the desktop's decoration layout puts them: in the leading slot when at
// the start, after the account menu when at the end. It shows what it is given and hands every
// click to its actions; it keeps no state of its own.
#pragma once

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Observable.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/window/ChromeAnimation.h"
#include "workspace/window/WorkspaceChromeController.h"
#include "workspace/window/WorkspaceChromeState.h"
#include "workspace/window/gtk/WorkspaceNavCluster.h"
#include "workspace/window/gtk/WorkspaceTabStrip.h"
#include "workspace/window/gtk/WorkspaceToolButton.h"

namespace orlith {

class WorkspaceChrome : public Gtk::Box {
 public:
  struct Actions {
    std::function<void()> back;
    std::function<void()> forward;
    // The reload button and the "Reload" item.
    std::function<void()> reload;
    std::function<void(const std::string& id)> selectTab;
    std::function<void(const std::string& id)> closeTab;
    // The new-tab button and the "New Tab" item.
    std::function<void()> newTab;
    std::function<void()> search;
    std::function<void()> home;
    std::function<void()> toggleSidebar;
    std::function<void()> signOut;
    // The account menu is about to open: a chance to refresh what it offers.
    std::function<void()> accountMenuOpening;
  };

  static constexpr const char* kActionGroupName = "chrome";

  // `indicator` goes in the update indicator's 26 × 26 place; without one, an empty place of
  // that size stands there.
  explicit WorkspaceChrome(Actions actions, std::unique_ptr<Gtk::Widget> indicator = nullptr);
  ~WorkspaceChrome() override;

  // A chrome bound to a window's models: it shows the controller's snapshot, redraws once per
  // main-loop turn after changes, and follows the app's resolved appearance. `appearance` must
  // outlive the chrome.
  static std::unique_ptr<WorkspaceChrome> bound(
      std::shared_ptr<WorkspaceChromeController> controller, AppearanceSettings& appearance,
      std::unique_ptr<Gtk::Widget> indicator = nullptr);

  void update(const WorkspaceChromeSnapshot& snapshot);
  // The chrome's colours follow this flag, not the system appearance.
  void setDark(bool dark);
  // The leading slot narrows in full screen. The chrome also follows its window's own state.
  void setFullScreen(bool fullScreen);

  WorkspaceNavCluster& navCluster() { return nav_; }
  Gtk::Widget& indicator() { return *indicator_; }
  WorkspaceTabStrip& tabStrip() { return strip_; }
  Gtk::Widget& leadingSeparator() { return separatorBefore_; }
  Gtk::Widget& trailingSeparator() { return separatorAfter_; }
  Gtk::Button& searchButton() { return search_; }
  Gtk::MenuButton& accountMenu() { return account_; }
  Gtk::Widget& leadingSlot() { return leading_; }
  Gtk::WindowControls& windowControls(Gtk::PackType side) {
    return side == Gtk::PackType::START ? startControls_ : endControls_;
  }
  const Glib::RefPtr<Gio::SimpleActionGroup>& actionGroup() const { return actions_; }
  const Glib::RefPtr<Gio::Menu>& accountMenuModel() const { return menu_; }

 private:
  void rebuildMenu(const std::optional<std::string>& email);
  void watchWindow();
  void applyActivity();
  void applyControlsVisibility();
  void animateLeadingTo(double width);
  bool onTick();

  Actions callbacks_;
  std::shared_ptr<WorkspaceChromeController> controller_;
  std::unique_ptr<CoalescedCallback> refresh_;
  ScopedConnection controllerChanged_;
  ScopedConnection appearanceChanged_;
  Gtk::Box leading_;
  Gtk::WindowControls startControls_{Gtk::PackType::START};
  Gtk::WindowControls endControls_{Gtk::PackType::END};
  WorkspaceNavCluster nav_;
  std::unique_ptr<Gtk::Widget> indicator_;
  Gtk::Box separatorBefore_;
  WorkspaceTabStrip strip_;
  Gtk::Box separatorAfter_;
  WorkspaceToolButton search_;
  Gtk::MenuButton account_;
  Gtk::Image accountImage_;
  Glib::RefPtr<Gio::SimpleActionGroup> actions_;
  Glib::RefPtr<Gio::Menu> menu_;
  std::optional<std::string> menuEmail_;
  bool menuBuilt_ = false;
  bool dark_ = false;
  bool fullScreen_ = false;
  Gtk::Window* window_ = nullptr;
  sigc::connection activeConnection_;
  sigc::connection fullScreenConnection_;
  double leadingWidth_ = 78;
  ChromeAnimation leadingAnimation_;
  guint tickId_ = 0;
};

}  // namespace orlith
