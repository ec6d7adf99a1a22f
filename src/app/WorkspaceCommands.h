// The menu bar's commands: which items act, from the session and the focused window's tabs,
// and what each does to that window's tabs model or its selected tab. Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>

#include "base/Preferences.h"
#include "session/SessionState.h"
#include "workspace/surface/OrlithAppearancePreference.h"

namespace orlith {

class UpdateClient;
class WorkspaceTabsModel;
class WorkspaceSession;

// A snapshot of what the enabled rules read. No focused tabs model: `tabs` is false and the
// other tab fields are not read.
struct WorkspaceMenuInputs {
  bool signedIn = false;
  bool tabs = false;
  std::size_t count = 0;
  bool hasSelectedTab = false;
  bool selectedShowsWorkspacePage = false;
  bool canGoBack = false;
  bool canGoForward = false;
};

struct WorkspaceMenuState {
  static constexpr std::size_t kShowTabItems = 9;

  bool checkForUpdates = true;
  bool signOut = false;
  bool newTab = false;
  bool closeTab = false;
  bool search = false;
  bool toggleSidebar = false;
  bool showNextTab = false;
  bool showPreviousTab = false;
  // Items 1 to 8, then the last tab.
  std::array<bool, kShowTabItems> showTab{};
  bool back = false;
  bool forward = false;
  bool home = false;
  bool reload = false;
  bool forceReload = false;
  bool zoomIn = false;
  bool zoomOut = false;
  bool actualSize = false;
  bool appearance = true;
  bool help = true;

  static WorkspaceMenuState from(const WorkspaceMenuInputs& inputs);
  friend bool operator==(const WorkspaceMenuState&, const WorkspaceMenuState&) = default;
};

class WorkspaceCommands {
 public:
  static constexpr const char* kPageZoomKey = "orlith.pageZoom";
  static constexpr double kZoomInFactor = 1.1;
  static constexpr double kZoomOutFactor = 1.0 / 1.1;
  static constexpr double kMinimumZoom = 0.5;
  static constexpr double kMaximumZoom = 3.0;

  struct Dependencies {
    WorkspaceSession& session;
    Preferences& preferences;
    AppearanceSettings& appearance;
    UpdateClient& updates;
    // Opens an address in the desktop's default browser.
    std::function<void(const std::string& uri)> openExternally;
    // Opens another main window.
    std::function<void()> openWindow;
    // Runs work on a later turn of the main loop.
    std::function<void(std::function<void()>)> post;
  };

  explicit WorkspaceCommands(Dependencies dependencies);

  // The compiled-in origin's contact page, whatever origin the process runs against.
  static std::string helpPageAddress();
  // The item title of show-tab item `number` (1 to 9).
  static std::string showTabTitle(int number);
  // The clamped zoom after one step from `current`; a zoom of 0 or less counts as 1.
  static double zoomStep(double current, double factor);

  // `tabs` is the focused window's model, or nullptr when no main window has focus.
  WorkspaceMenuInputs inputs(const WorkspaceTabsModel* tabs) const;
  WorkspaceMenuState menuState(const WorkspaceTabsModel* tabs) const {
    return WorkspaceMenuState::from(inputs(tabs));
  }

  // Every command on a tabs model does nothing without one; every command on the selected tab
  // does nothing without a selected tab.
  void checkForUpdates();
  void signOut();
  void newTab(WorkspaceTabsModel* tabs);
  void closeTab(WorkspaceTabsModel* tabs);
  void search(WorkspaceTabsModel* tabs);
  void toggleSidebar(WorkspaceTabsModel* tabs);
  void selectAdjacentTab(WorkspaceTabsModel* tabs, int offset);
  // 1 to 8 select that tab when it exists; 9 selects the last.
  void showTab(WorkspaceTabsModel* tabs, int number);
  void goBack(WorkspaceTabsModel* tabs);
  void goForward(WorkspaceTabsModel* tabs);
  void home(WorkspaceTabsModel* tabs);
  void reload(WorkspaceTabsModel* tabs);
  void forceReload(WorkspaceTabsModel* tabs);
  // Changes the selected tab's web view and stores the result; without a web view nothing
  // changes and nothing is stored.
  void zoom(WorkspaceTabsModel* tabs, double factor);
  // Sets the selected tab's web view to 1 when there is one, and always stores 1.
  void resetZoom(WorkspaceTabsModel* tabs);
  void setAppearance(OrlithAppearancePreference preference);
  void openHelp();

 private:
  void storeZoom(double zoom);

  WorkspaceSession& session_;
  Preferences& preferences_;
  AppearanceSettings& appearance_;
  UpdateClient& updates_;
  std::function<void(const std::string&)> openExternally_;
  std::function<void()> openWindow_;
  std::function<void(std::function<void()>)> post_;
};

}  // namespace orlith
