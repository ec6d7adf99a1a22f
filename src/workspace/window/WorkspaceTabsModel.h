// The state of one workspace window: its tabs in strip order, the selected tab, whether the
// account's session has been prepared, and the window's entry in the account's tab recovery
// record. It routes the window-level desktop commands to a tab, a new tab or a new window.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Observable.h"
#include "session/OrlithEnvironment.h"
#include "session/StoredSession.h"
#include "workspace/surface/WorkspaceModel.h"

namespace orlith {

class Beep;
class Clock;
class ClaimedRecoveryWindows;
class NotificationHub;
class PendingWorkspaceWindowCommands;
class Preferences;
class Scheduler;
class UuidSource;
class WorkspaceTabRecoveryStore;

class WorkspaceTabsModel : public std::enable_shared_from_this<WorkspaceTabsModel> {
  struct Passkey {};

 public:
  static constexpr std::size_t kMaximumTabs = 20;
  static constexpr std::string_view kSearchCommand = "search";
  static constexpr std::string_view kBillingReturnCommand = "billing-return";

  // What a window's model uses of the process. Every referent must outlive the model; in
  // production they are the application context's single instances.
  struct Dependencies {
    OrlithEnvironment environment;
    Scheduler& scheduler;
    Clock& clock;
    UuidSource& uuids;
    Beep& beep;
    NotificationHub& hub;
    ClaimedRecoveryWindows& claimedWindows;
    PendingWorkspaceWindowCommands& pendingWindowCommands;
  };

  using Tabs = std::vector<std::shared_ptr<WorkspaceModel>>;

  // One blank selected tab, not prepared, a fresh recovery window id; it saves its entry when
  // the will-restart notification is posted.
  static std::shared_ptr<WorkspaceTabsModel> create(Dependencies dependencies);
  WorkspaceTabsModel(Passkey, Dependencies dependencies);
  ~WorkspaceTabsModel();
  WorkspaceTabsModel(const WorkspaceTabsModel&) = delete;
  WorkspaceTabsModel& operator=(const WorkspaceTabsModel&) = delete;

  // Emitted after each change of the tabs, the selection or the prepared flag, and after each
  // change of the selected tab.
  ChangeSignal& changed() { return changed_; }

  const Tabs& tabs() const { return tabs_; }
  bool isSessionPrepared() const { return isSessionPrepared_; }
  const OrlithEnvironment& environment() const { return environment_; }
  const std::string& recoveryWindowID() const { return recoveryWindowID_; }
  // Present while a prepared session's account qualifies for recovery.
  const WorkspaceTabRecoveryStore* recoveryStore() const { return recoveryStore_.get(); }

  const std::string& selectedID() const { return selectedID_; }
  // Every assignment runs the selection-change handling with the previous id: the tabs learn
  // their selection, the new tab is observed and focused, and the recovery entry is saved.
  void setSelectedID(std::string id);
  // The first tab whose id is the selected id, or none.
  std::shared_ptr<WorkspaceModel> selectedTab() const;
  std::optional<std::size_t> selectedIndex() const;

  // A blank tab at the end, selected. At kMaximumTabs it beeps and returns the selected tab
  // (or the first) without a change.
  std::shared_ptr<WorkspaceModel> newTab();
  // The last tab never closes; an unknown id is ignored. Closing the selected tab selects the
  // one that moves into its place, or the new last tab.
  void closeTab(const std::string& id);
  // An unknown id is ignored. Re-selecting the selected tab only re-applies the selection and
  // starts its command delivery: nothing is saved or focused.
  void select(const std::string& id);
  // +1 next, -1 previous, wrapping around.
  void selectAdjacentTab(int offset);

  // The tab shows a service page under "/app", or has not loaded once and has no address yet.
  bool showsWorkspacePage(const WorkspaceModel& tab) const;

  // "search" and "billing-return" go to the selected workspace tab, the first workspace tab or
  // a new tab; at the tab limit the type is parked for another window and `openWindow` is
  // called when nothing was parked before. Other types are ignored.
  void routeDesktopCommand(std::string_view type, std::int64_t sessionRevision,
                           const std::function<void()>& openWindow);

  // Once per session: restores the first window entry of the account's record that no other
  // window of the process has claimed, claims it, and saves at once. Without a session, or for
  // an account that does not qualify, the session is prepared without a store.
  void prepareSession(const std::optional<StoredSession>& session, Preferences& preferences);
  // Hands the parked window commands of `sessionRevision` to the selected workspace tab.
  void deliverPendingWindowCommands(std::int64_t sessionRevision);
  // Erases the account's record and claims, and returns to one blank unprepared tab.
  void resetSession();

 private:
  struct Observers;

  std::shared_ptr<WorkspaceModel> makeTab(std::optional<Url> initialURL);
  void selectionDidChange(const std::string& previous);
  void applySelection();
  void observeSelectedTab();
  void focusSelectedWebView();
  void attachRecoveryHooks();
  void saveRecoverySnapshot();
  bool enqueueOn(WorkspaceModel& tab, std::string_view type);

  OrlithEnvironment environment_;
  Scheduler& scheduler_;
  Clock& clock_;
  UuidSource& uuids_;
  Beep& beep_;
  NotificationHub& hub_;
  ClaimedRecoveryWindows& claimedWindows_;
  PendingWorkspaceWindowCommands& pendingWindowCommands_;

  Tabs tabs_;
  bool isSessionPrepared_ = false;
  std::string selectedID_;
  std::unique_ptr<WorkspaceTabRecoveryStore> recoveryStore_;
  std::string recoveryWindowID_;
  std::unique_ptr<Observers> observers_;
  ChangeSignal changed_;
};

}  // namespace orlith
