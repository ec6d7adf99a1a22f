// The pieces the shell's logic tests share: a session, preferences, the appearance settings
// over a recording desktop, the no-op update client and windows' tabs models.
#pragma once

#include <memory>
#include <vector>

#include "base/NotificationHub.h"
#include "support/FakeBeep.h"
#include "support/FakePreferences.h"
#include "support/FakeWorkspaceSession.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/RecordingUpdateClient.h"
#include "support/SequentialUuidSource.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith::testing {

class RecordingAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { current = appearance; }
  AppAppearance appAppearance() const override { return current; }

  AppAppearance current = AppAppearance::system;
};

class AppFixture {
 protected:
  std::shared_ptr<WorkspaceTabsModel> makeWindow() {
    return WorkspaceTabsModel::create(
        {productionEnvironment(), time, time, uuids, beep, hub, claimed, parked});
  }

  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  FakeWorkspaceSession session;
  FakePreferences preferences;
  RecordingAppearanceEnvironment desktop;
  AppearanceSettings appearance{preferences, desktop};
  RecordingUpdateClient updates;
  ManualTime time;
  SequentialUuidSource uuids;
  FakeBeep beep;
  NotificationHub hub;
  ClaimedRecoveryWindows claimed;
  PendingWorkspaceWindowCommands parked;
};

}  // namespace orlith::testing
