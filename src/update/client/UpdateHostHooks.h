// What the host application supplies to the update coordinator, and the coordinator's
// production dependencies built around them: the real check, download and installer client.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>

#include "base/Clock.h"
#include "base/Uuid.h"
#include "session/HttpTransport.h"
#include "update/client/UpdateCoordinator.h"

namespace orlith {

struct UpdateHostHooks {
  std::function<bool()> hasActiveDownloads;
  std::function<void()> showPanel;
  std::function<void()> closePanels;
  std::function<bool(const std::filesystem::path&)> openInstaller;
  std::function<void()> revealApplication;
  // Tells the rest of the app that it is about to quit for an update (windows save their tabs).
  std::function<void()> announceRestart;
  // Asks the application to quit.
  std::function<TerminateAnswer()> terminate;
};

// The checks use the shared environment and the main bundle; packages go to the user's caches.
UpdateCoordinator::Dependencies makeUpdateCoordinatorDependencies(
    std::shared_ptr<HttpTransport> transport, const Clock& clock, UuidSource& uuids,
    UpdateHostHooks hooks);

}  // namespace orlith
