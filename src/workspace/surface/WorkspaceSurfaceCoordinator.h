// The controller of one workspace tab's web view: load lifecycle with its deadline, readiness
// handshake, bridge messages, navigation policy effects, renderer and network recovery, and the
// session it was built for. The engine adapter forwards the engine's events here and carries
// out what comes back; every decision is made here.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Preferences.h"
#include "base/Scheduler.h"
#include "base/Task.h"
#include "base/Uuid.h"
#include "session/DesktopDiagnostics.h"
#include "workspace/surface/LoadError.h"
#include "workspace/surface/MainFrameActivations.h"
#include "workspace/surface/NavigationPolicy.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/SurfaceReadiness.h"
#include "workspace/surface/WebEngineView.h"
#include "workspace/surface/WebPermissions.h"
#include "workspace/surface/WebSurfaceScripts.h"
#include "workspace/surface/WorkspaceModel.h"
#include "workspace/surface/WorkspaceWebThemeSessionScope.h"

namespace orlith {

// The waits of a tab; tests shorten them.
struct SurfaceTimings {
  std::chrono::milliseconds loadDeadline{std::chrono::seconds(75)};
  std::chrono::milliseconds surfaceCheckInterval{250};
  double renderableSecondsLimit = SurfaceReadiness::kRenderableSecondsLimit;
  double rendererRetryWindowSeconds = 60.0;
};

// The session a tab was built for, handed over again on every update of its host.
struct SurfaceSession {
  std::optional<std::string> email;
  std::int64_t revision = 0;
  // Asked before acting on session-bound page messages.
  std::function<bool()> isSessionCurrent;
  // Called once per session revision when the page shows that the session is over.
  std::function<void()> onSessionEnded;
};

// What the tab uses of the rest of the app. All must outlive the coordinator.
struct SurfaceServices {
  Clock& clock;
  Scheduler& scheduler;
  UuidSource& uuids;
  Preferences& preferences;
  AppearanceSettings& appearance;
  std::function<void(std::string_view name, const DiagnosticsDetail& detail)> sendDiagnostics;
  // Opens an address with the desktop's default handler, result ignored.
  std::function<void(const std::string& uri)> openExternally;
  // Prints the tab's page.
  std::function<void()> print;
  // Installs the session cookie before the first load; empty when there is none to install.
  std::function<Task<void>(std::stop_token)> installSessionCookie;
};

class WorkspaceSurfaceCoordinator
    : public std::enable_shared_from_this<WorkspaceSurfaceCoordinator> {
  struct Passkey {};

 public:
  using NavigationId = std::uint64_t;

  static constexpr std::string_view kUnstyledSurfaceMessage =
      "The page did not finish preparing its display. Try again.";
  static constexpr std::size_t kMaxChannelMessageBytes = 1024 * 1024;
  static constexpr std::string_view kSidebarCollapsedKey = "orlith.sidebarCollapsed";
  // A new window acts on a person's input this recent at most, as the engine's own gesture
  // does not outlive a second either.
  static constexpr double kUserInputLifetimeSeconds = 1.0;

  static std::shared_ptr<WorkspaceSurfaceCoordinator> create(std::shared_ptr<WorkspaceModel> model,
                                                             WebSurfaceScripts scripts,
                                                             SurfaceServices services,
                                                             SurfaceSession session,
                                                             SurfaceTimings timings = {});
  WorkspaceSurfaceCoordinator(Passkey, std::shared_ptr<WorkspaceModel> model,
                              WebSurfaceScripts scripts, SurfaceServices services,
                              SurfaceSession session, SurfaceTimings timings);
  ~WorkspaceSurfaceCoordinator();
  WorkspaceSurfaceCoordinator(const WorkspaceSurfaceCoordinator&) = delete;
  WorkspaceSurfaceCoordinator& operator=(const WorkspaceSurfaceCoordinator&) = delete;

  // The view is made: it goes into the model, gets its scripts, and the cookie bootstrap and
  // first load start.
  void attach(std::shared_ptr<WebEngineView> view, UserContentController& content);
  // The host was updated. A new revision of the same account takes the fresh pair of
  // callbacks, may signal a session end again, and probes the theme again; nothing reloads.
  void update(SurfaceSession session);
  // Stops everything for good; afterwards no event changes the model.
  void dismantle();
  bool isDismantled() const { return dismantled_; }

  // Load lifecycle. The adapter issues a new id at each main-frame start.
  void navigationStarted(NavigationId id);
  void navigationCommitted(NavigationId id, const std::string& uri);
  void navigationFinished(NavigationId id);
  void navigationFailed(NavigationId id, const EngineError& error);
  void titleChanged(const std::optional<std::string>& title);
  void locationChanged();
  void historyChanged();

  // The page world's bridge (main frame only, by construction): the frame's address when it
  // posted, and the JSON text of what it posted.
  void channelMessageReceived(const std::string& frameUri, std::string_view json);
  // The readiness world's report; it can only come from this view's top frame.
  void readinessMessageReceived(std::string_view json);

  // Policy questions; each is answered here once and its side effects are done. A link the
  // main frame reported activating gives the action its frames; a redirect is no activation.
  enum class Redirect { no, yes };
  PolicyDecision decideAction(const NavigationActionFacts& facts, Redirect redirect = Redirect::no);
  PolicyDecision decideResponse(const NavigationResponseFacts& facts);
  void requestNewWindow(const std::string& uri, bool isUserGesture);
  // Whether a download the engine started for this view may go on.
  bool admitDownload(const std::string& uri);
  // The main frame activated a link (reported by the web-process extension, main frame only).
  void mainFrameLinkActivated(LinkActivation activation);
  // A person pressed a key, a button or touched the view.
  void userInputReceived();
  // Whether the extension that confines dialogs, printing and capture to the main frame runs.
  void setFrameGuard(FrameGuard guard) { frameGuard_ = guard; }

  // The page's own requests of the app. Each is answered once by the caller.
  ScriptDialogDecision decideScriptDialog(ScriptDialogKind kind) const;
  // The engine was asked to print the page: the app prints it when that is allowed.
  void printRequested();
  MediaCaptureDecision decideMediaCapture(const MediaCaptureRequest& request) const;
  // The person answered the microphone question.
  void microphoneAnswered(bool allowed);

  void webProcessTerminated();
  void networkChanged(bool satisfied);
  // Whether the view's window is shown, active and not minimised.
  void setHostVisible(bool visible);
  // The app's light/dark state changed: later documents are seeded with it.
  void appearanceChanged();

  // Media capture is granted for the microphone alone.
  static bool allowsMediaCapture(bool audio, bool video) { return audio && !video; }

  std::optional<NavigationId> activeNavigation() const { return activeNavigation_; }
  const SurfaceReadiness& readiness() const { return readiness_; }

 private:
  void send(std::string_view name, const DiagnosticsDetail& detail = {});
  void handleFailure(const LoadError& error);
  void loadDeadlineFired(NavigationId id);
  void surfaceCheck();
  void stopSurfaceTimer();
  void updateSurfaceTimer();
  void endSession(std::string_view reason);
  bool sessionIsCurrent() const;
  void syncTheme();
  void probeVisibility();
  void applyOutcome(const NavigationOutcome& outcome);
  double uptime() const;
  PageFacts pageFacts() const;
  void installScripts();

  static Task<void> firstLoad(std::weak_ptr<WorkspaceSurfaceCoordinator> weak,
                              std::stop_token stop);
  static Task<void> readTheme(std::weak_ptr<WorkspaceSurfaceCoordinator> weak,
                              Task<std::optional<Json>> probe, std::uint64_t revision);
  static Task<void> discard(Task<std::optional<Json>> task);

  std::shared_ptr<WorkspaceModel> model_;
  WebSurfaceScripts scripts_;
  SurfaceServices services_;
  SurfaceSession session_;
  SurfaceTimings timings_;
  NavigationPolicy policy_;
  WorkspaceWebThemeSessionScope themeScope_;

  std::weak_ptr<WebEngineView> view_;
  UserContentController* content_ = nullptr;
  bool dismantled_ = false;
  bool didSignalSessionEnd_ = false;
  std::optional<std::stop_source> bootstrap_;
  std::optional<NavigationId> activeNavigation_;
  TimerHandle loadDeadline_;
  TimerHandle surfaceTimer_;
  // From the commit until the surface is ready or given up on.
  bool surfaceChecking_ = false;
  SurfaceReadiness readiness_;
  bool wasReadyBeforeNavigation_ = false;
  bool currentDocumentCommitted_ = false;
  std::uint64_t themeReadRevision_ = 0;
  std::optional<bool> lastPushedIsDark_;
  std::optional<bool> lastProbeActivity_;
  std::optional<bool> lastPathSatisfied_;
  std::optional<double> lastAutomaticRetry_;
  bool hostVisible_ = true;
  // Addresses the response rule turned into downloads, admitted when the engine starts them.
  std::multiset<std::string> responseDownloads_;
  MainFrameActivations activations_;
  FrameGuard frameGuard_ = FrameGuard::absent;
  std::uint64_t userInputs_ = 0;
  std::uint64_t inputUsedByNewWindow_ = 0;
  double lastUserInputAt_ = 0;
};

}  // namespace orlith
