// Hands the process's single instances to windows and tabs.
#include "app/ApplicationContext.h"

#include <utility>

#include "session/OrlithWire.h"

namespace orlith {

ApplicationContext::ApplicationContext(Dependencies dependencies)
    : environment_(std::move(dependencies.environment)),
      clock_(dependencies.clock),
      scheduler_(dependencies.scheduler),
      uuids_(dependencies.uuids),
      preferences_(dependencies.preferences),
      appearance_(dependencies.appearance),
      sessionStore_(std::move(dependencies.sessionStore)),
      cookieCoordinator_(std::move(dependencies.cookieCoordinator)),
      webCookies_(std::move(dependencies.webCookies)),
      diagnostics_(std::move(dependencies.diagnostics)),
      updates_(dependencies.updates ? std::move(dependencies.updates)
                                    : std::make_unique<NoUpdateClient>()),
      openExternally_(std::move(dependencies.openExternally)),
      workspaceSession_(std::make_shared<SessionStoreWorkspaceSession>(sessionStore_)) {}

ApplicationContext::~ApplicationContext() = default;

SurfaceServices ApplicationContext::surfaceServices() {
  SurfaceServices services{clock_, scheduler_, uuids_, preferences_, appearance_, {}, {}, {}, {}};
  if (diagnostics_) {
    services.sendDiagnostics = [diagnostics = diagnostics_.get()](std::string_view name,
                                                                  const DiagnosticsDetail& detail) {
      diagnostics->send(name, detail);
    };
  }
  services.openExternally = openExternally_;
  const auto& session = sessionStore_->currentSession();
  std::optional<HttpCookie> cookie = session ? session->cookie.httpCookie() : std::nullopt;
  if (cookie && cookieCoordinator_ && webCookies_) {
    services.installSessionCookie = [coordinator = cookieCoordinator_, store = webCookies_,
                                     cookie = *cookie](std::stop_token stop) {
      return coordinator->installSessionCookie(cookie, wire::kSessionCookieNames, store, stop);
    };
  }
  return services;
}

WorkspaceWindowServices ApplicationContext::windowServices() {
  return WorkspaceWindowServices{environment_,
                                 clock_,
                                 scheduler_,
                                 uuids_,
                                 hub_,
                                 claimedWindows_,
                                 pendingWindowCommands_,
                                 preferences_,
                                 appearance_,
                                 workspaceSession_,
                                 [this] { return surfaceServices(); }};
}

}  // namespace orlith
