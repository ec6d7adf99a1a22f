// What a workspace window's tabs model runs on in unit tests: a manual main queue and clock,
// sequential ids, a counted beep, and fresh process-wide registries; and a model made of them.
#pragma once

#include <memory>

#include "base/NotificationHub.h"
#include "session/OrlithEnvironment.h"
#include "support/FakeBeep.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "workspace/surface/PendingWorkspaceWindowCommands.h"
#include "workspace/window/ClaimedRecoveryWindows.h"
#include "workspace/window/WorkspaceTabsModel.h"

namespace orlith::testing {

struct TabsModelServices {
  std::shared_ptr<WorkspaceTabsModel> makeTabsModel(const OrlithEnvironment& environment) {
    return WorkspaceTabsModel::create({environment, time, time, uuids, beep, hub, claimed, parked});
  }

  ManualMainQueue queue;
  MainQueue::Installation installation{queue};
  ManualTime time;
  SequentialUuidSource uuids;
  FakeBeep beep;
  NotificationHub hub;
  ClaimedRecoveryWindows claimed;
  PendingWorkspaceWindowCommands parked;
};

}  // namespace orlith::testing
