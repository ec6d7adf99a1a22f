// The composition root: the process's single instances (the account session with its one HTTP
// transport, keyring vault and cookie coordinator, diagnostics, the notification hub, the
// claimed recovery windows, the parked window commands, the one preferences object and the
// update client), handed to each window and tab by reference. Nothing below reaches for a
// process-wide static. The toolkit side assembles the production one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/UpdateClient.h"
#include "base/Clock.h"
#include "base/NotificationHub.h"
#include "base/Preferences.h"
#include "base/Scheduler.h"
#include "base/Uuid.h"
#include "session/DesktopDiagnostics.h"
#include "session/SessionCookieCoordinator.h"
#include "session/SessionStore.h"
#include "session/WebCookieStore.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/WorkspaceSession.h"
#include "workspace/window/WorkspaceWindowServices.h"

namespace orlith {

class ApplicationContext {
 public:
  struct Dependencies {
    OrlithEnvironment environment;
    Clock& clock;
    Scheduler& scheduler;
    UuidSource& uuids;
    // The process's one preferences object: a second one on the same file would lose writes.
    Preferences& preferences;
    AppearanceSettings& appearance;
    std::shared_ptr<SessionStore> sessionStore;
    // The store's own coordinator and the web views' cookie store, for each tab's bootstrap.
    std::shared_ptr<SessionCookieCoordinator> cookieCoordinator;
    std::shared_ptr<WebCookieStore> webCookies;
    std::unique_ptr<DesktopDiagnostics> diagnostics;
    std::unique_ptr<UpdateClient> updates;
    // Opens an address with the desktop's default handler.
    std::function<void(const std::string& uri)> openExternally;
  };

  explicit ApplicationContext(Dependencies dependencies);
  ~ApplicationContext();
  ApplicationContext(const ApplicationContext&) = delete;
  ApplicationContext& operator=(const ApplicationContext&) = delete;

  const OrlithEnvironment& environment() const { return environment_; }
  Clock& clock() { return clock_; }
  Scheduler& scheduler() { return scheduler_; }
  UuidSource& uuids() { return uuids_; }
  Preferences& preferences() { return preferences_; }
  AppearanceSettings& appearance() { return appearance_; }
  SessionStore& sessionStore() { return *sessionStore_; }
  const std::shared_ptr<SessionStore>& sessionStorePointer() const { return sessionStore_; }
  const std::shared_ptr<WorkspaceSession>& workspaceSession() const { return workspaceSession_; }
  DesktopDiagnostics& diagnostics() { return *diagnostics_; }
  NotificationHub& hub() { return hub_; }
  ClaimedRecoveryWindows& claimedWindows() { return claimedWindows_; }
  PendingWorkspaceWindowCommands& pendingWindowCommands() { return pendingWindowCommands_; }
  UpdateClient& updates() { return *updates_; }
  // Opens an address with the desktop's default handler; nothing when none was given.
  void openExternally(const std::string& uri) const {
    if (openExternally_)
      openExternally_(uri);
  }

  // One tab's services: diagnostics through the process's sender, and, while there is a
  // session, the bootstrap that installs its cookie before the tab's first load.
  SurfaceServices surfaceServices();
  WorkspaceWindowServices windowServices();

 private:
  OrlithEnvironment environment_;
  Clock& clock_;
  Scheduler& scheduler_;
  UuidSource& uuids_;
  Preferences& preferences_;
  AppearanceSettings& appearance_;
  std::shared_ptr<SessionStore> sessionStore_;
  std::shared_ptr<SessionCookieCoordinator> cookieCoordinator_;
  std::shared_ptr<WebCookieStore> webCookies_;
  std::unique_ptr<DesktopDiagnostics> diagnostics_;
  std::unique_ptr<UpdateClient> updates_;
  std::function<void(const std::string&)> openExternally_;
  std::shared_ptr<WorkspaceSession> workspaceSession_;
  NotificationHub hub_;
  ClaimedRecoveryWindows claimedWindows_;
  PendingWorkspaceWindowCommands pendingWindowCommands_;
};

}  // namespace orlith
