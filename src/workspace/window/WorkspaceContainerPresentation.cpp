// One tab container's overlay, error texts, page zoom and session callbacks.
#include "workspace/window/WorkspaceContainerPresentation.h"

#include <algorithm>
#include <cmath>

#include "base/MainQueue.h"
#include "workspace/window/WorkspaceSession.h"

namespace orlith {

ContainerOverlay containerOverlay(bool isReady, bool didFailToLoad) {
  if (didFailToLoad)
    return ContainerOverlay::error;
  return isReady ? ContainerOverlay::none : ContainerOverlay::startupCover;
}

WorkspaceErrorContent WorkspaceErrorContent::make(bool isOffline,
                                                  const std::optional<std::string>& detail) {
  WorkspaceErrorContent content;
  content.iconName = isOffline ? "network-wireless-offline-symbolic" : "dialog-warning-symbolic";
  content.title = std::string(isOffline ? kOfflineTitle : kFailedTitle);
  content.detail = detail ? *detail : std::string(isOffline ? kOfflineDetail : kFailedDetail);
  return content;
}

double PageZoom::fromStored(std::optional<double> stored) {
  double value = stored.value_or(0);
  // NaN is not greater than zero.
  if (!(value > 0))
    return 1.0;
  return std::min(std::max(value, kMinimum), kMaximum);
}

bool PageZoom::apply(WebEngineView& view, const Preferences& preferences) {
  double zoom = fromStored(preferences.number(std::string(kKey)));
  if (view.zoomLevel() == zoom)
    return false;
  view.setZoomLevel(zoom);
  return true;
}

SurfaceSession makeSurfaceSession(const std::shared_ptr<WorkspaceSession>& session) {
  SurfaceSession surfaceSession;
  const std::int64_t revision = session->sessionRevision();
  surfaceSession.revision = revision;
  if (const auto& current = session->currentSession())
    surfaceSession.email = current->email;
  std::weak_ptr<WorkspaceSession> weak = session;
  surfaceSession.isSessionCurrent = [weak, revision] {
    auto session = weak.lock();
    return session && session->state().isAuthenticated() && session->sessionRevision() == revision;
  };
  surfaceSession.onSessionEnded = [weak, revision] {
    MainQueue::shared().post([weak, revision] {
      if (auto session = weak.lock())
        session->recoverSession(revision, false);
    });
  };
  return surfaceSession;
}

}  // namespace orlith
