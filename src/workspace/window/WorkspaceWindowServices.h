// What one workspace window takes from the process: the single shared instances (hub, claimed
// recovery windows, parked window commands, preferences, appearance, time), the account
// session, and a maker of each tab's surface services. The application context hands it out.
#pragma once

#include <functional>
#include <memory>

#include "base/Clock.h"
#include "base/NotificationHub.h"
#include "base/Preferences.h"
#include "base/Scheduler.h"
#include "base/Uuid.h"
#include "session/OrlithEnvironment.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/WorkspaceSession.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith {

struct WorkspaceWindowServices {
  OrlithEnvironment environment;
  Clock& clock;
  Scheduler& scheduler;
  UuidSource& uuids;
  NotificationHub& hub;
  ClaimedRecoveryWindows& claimedWindows;
  PendingWorkspaceWindowCommands& pendingWindowCommands;
  Preferences& preferences;
  AppearanceSettings& appearance;
  std::shared_ptr<WorkspaceSession> session;
  // A tab's services, with diagnostics and the session cookie's bootstrap filled in.
  std::function<SurfaceServices()> makeSurfaceServices;

  WorkspaceTabsModel::Dependencies tabsModelDependencies(Beep& beep) const {
    return {environment, scheduler, clock, uuids, beep, hub, claimedWindows, pendingWindowCommands};
  }
};

}  // namespace orlith
