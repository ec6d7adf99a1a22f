// One tab's controller: what each engine event does to the tab's model and page.
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"

#include <algorithm>

#include "workspace/surface/PageTitle.h"

namespace orlith {
namespace {

bool isUnderAppPath(const Url& url) {
  const std::string path = url.path();
  return path == "/app" || path.starts_with("/app/");
}

std::optional<Json> parseObject(std::string_view text) {
  Json value = Json::parse(text, nullptr, false);
  if (value.is_discarded() || !value.is_object())
    return std::nullopt;
  return value;
}

const std::string* stringMember(const Json& object, const char* key) {
  auto found = object.find(key);
  if (found == object.end() || !found->is_string())
    return nullptr;
  return found->get_ptr<const std::string*>();
}

}  // namespace

std::shared_ptr<WorkspaceSurfaceCoordinator> WorkspaceSurfaceCoordinator::create(
    std::shared_ptr<WorkspaceModel> model, WebSurfaceScripts scripts, SurfaceServices services,
    SurfaceSession session, SurfaceTimings timings) {
  return std::make_shared<WorkspaceSurfaceCoordinator>(Passkey{}, std::move(model),
                                                       std::move(scripts), std::move(services),
                                                       std::move(session), timings);
}

WorkspaceSurfaceCoordinator::WorkspaceSurfaceCoordinator(
    Passkey, std::shared_ptr<WorkspaceModel> model, WebSurfaceScripts scripts,
    SurfaceServices services, SurfaceSession session, SurfaceTimings timings)
    : model_(std::move(model)),
      scripts_(std::move(scripts)),
      services_(std::move(services)),
      session_(std::move(session)),
      timings_(timings),
      policy_(model_->environment()),
      themeScope_(session_.email, session_.revision),
      readiness_(timings.renderableSecondsLimit) {}

WorkspaceSurfaceCoordinator::~WorkspaceSurfaceCoordinator() {
  if (bootstrap_)
    bootstrap_->request_stop();
}

void WorkspaceSurfaceCoordinator::send(std::string_view name, const DiagnosticsDetail& detail) {
  if (services_.sendDiagnostics)
    services_.sendDiagnostics(name, detail);
}

double WorkspaceSurfaceCoordinator::uptime() const {
  return std::chrono::duration<double>(services_.clock.monotonicNow().time_since_epoch()).count();
}

void WorkspaceSurfaceCoordinator::installScripts() {
  if (!content_)
    return;
  const PageTheme theme = services_.appearance.resolvedPageTheme();
  scripts_.installUserScripts(*content_, theme);
  lastPushedIsDark_ = theme == PageTheme::dark;
}

void WorkspaceSurfaceCoordinator::attach(std::shared_ptr<WebEngineView> view,
                                         UserContentController& content) {
  view_ = view;
  content_ = &content;
  model_->setWebView(view);
  installScripts();

  std::weak_ptr<WorkspaceSurfaceCoordinator> weak = weak_from_this();
  model_->onSelectionChanged = [weak] {
    if (auto self = weak.lock())
      self->probeVisibility();
  };
  model_->onRenderingActivityChanged = [weak](bool) {
    if (auto self = weak.lock()) {
      self->probeVisibility();
      self->updateSurfaceTimer();
    }
  };

  bootstrap_.emplace();
  startDetached(firstLoad(weak, bootstrap_->get_token()));
}

Task<void> WorkspaceSurfaceCoordinator::firstLoad(std::weak_ptr<WorkspaceSurfaceCoordinator> weak,
                                                  std::stop_token stop) {
  std::function<Task<void>(std::stop_token)> install;
  if (auto self = weak.lock())
    install = self->services_.installSessionCookie;
  if (install) {
    Task<void> installing = install(stop);
    try {
      co_await std::move(installing);
    } catch (const TaskCancelled&) {
      co_return;
    } catch (const std::exception&) {
      // The page still loads: without the cookie the service sends it to its sign-in page, and
      // the policy ends the session from there.
    }
  }
  if (stop.stop_requested())
    co_return;
  auto self = weak.lock();
  if (!self || self->dismantled_)
    co_return;
  if (auto view = self->view_.lock())
    view->load(self->model_->initialURL());
}

void WorkspaceSurfaceCoordinator::update(SurfaceSession session) {
  if (dismantled_)
    return;
  if (themeScope_.advance(session.email, session.revision) !=
      WorkspaceWebThemeSessionScope::Advance::newRevision)
    return;
  ++themeReadRevision_;
  session_ = std::move(session);
  didSignalSessionEnd_ = false;
  syncTheme();
}

void WorkspaceSurfaceCoordinator::dismantle() {
  if (dismantled_)
    return;
  // A web view built for the tab later (after a session recovery, say) opens where this one was,
  // so the tab neither jumps back to its first page nor saves that page over its own.
  if (auto view = view_.lock()) {
    if (auto uri = view->currentUri()) {
      if (auto location = Url::parse(*uri))
        model_->rememberLocation(*location);
    }
  }
  ++themeReadRevision_;
  if (bootstrap_)
    bootstrap_->request_stop();
  model_->cancelCommandDelivery();
  stopSurfaceTimer();
  readiness_.reset();
  loadDeadline_.cancel();
  dismantled_ = true;
  activeNavigation_.reset();
  model_->onSelectionChanged = nullptr;
  model_->onRenderingActivityChanged = nullptr;
  content_ = nullptr;
  activations_.clear();
}

void WorkspaceSurfaceCoordinator::navigationStarted(NavigationId id) {
  if (dismantled_)
    return;
  ++themeReadRevision_;
  stopSurfaceTimer();
  readiness_.arm(SurfaceReadiness::makeTicket(services_.uuids), std::nullopt, uptime());
  lastProbeActivity_.reset();
  wasReadyBeforeNavigation_ = model_->isReady();
  currentDocumentCommitted_ = false;
  activeNavigation_ = id;
  model_->setLoading(true);
  std::weak_ptr<WorkspaceSurfaceCoordinator> weak = weak_from_this();
  loadDeadline_ = services_.scheduler.scheduleAfter(timings_.loadDeadline, [weak, id] {
    if (auto self = weak.lock())
      self->loadDeadlineFired(id);
  });
}

void WorkspaceSurfaceCoordinator::loadDeadlineFired(NavigationId id) {
  if (dismantled_ || activeNavigation_ != id || !model_->isLoading())
    return;
  // Cleared first, so the engine's report of this stop is not taken for a second failure.
  activeNavigation_.reset();
  readiness_.reset();
  if (auto view = view_.lock())
    view->stopLoading();
  handleFailure(LoadError::timedOut());
}

void WorkspaceSurfaceCoordinator::navigationCommitted(NavigationId id, const std::string& uri) {
  if (dismantled_ || activeNavigation_ != id)
    return;
  currentDocumentCommitted_ = true;
  if (NavigationPolicy::isCommitOutsideWeb(uri)) {
    handleFailure({std::string(NavigationPolicy::kBackstopErrorDomain),
                   NavigationPolicy::kBackstopErrorCode});
    return;
  }
  auto url = Url::parse(uri);
  readiness_.setCommittedOrigin(url ? SurfaceReadiness::readinessOrigin(*url) : std::nullopt);
  model_->setDidFailToLoad(false);
  model_->setOffline(false);
  model_->setReadinessError(std::nullopt);

  const auto& environment = model_->environment();
  if (url && url->lowercasedHost() && readiness_.ticket() &&
      environment.isAllowedOrigin(url->scheme(), *url->lowercasedHost(), url->port().value_or(0))) {
    if (auto arguments = WebSurfaceScripts::armSurfaceArguments(*readiness_.ticket(), *url)) {
      if (auto view = view_.lock()) {
        startDetached(
            discard(view->callFunction(std::string(WebSurfaceScripts::kArmSurfaceFunctionBody),
                                       *arguments, ScriptWorld::readiness)));
      }
    }
  }
  surfaceChecking_ = true;
  updateSurfaceTimer();
}

void WorkspaceSurfaceCoordinator::stopSurfaceTimer() {
  surfaceChecking_ = false;
  surfaceTimer_.cancel();
}

// The timer ticks only while the tab renders: a hidden tab's checks would only record, four
// times a second for as long as it stays hidden, that it is hidden. Its last check records the
// moment it stopped rendering, so that the time hidden never counts.
void WorkspaceSurfaceCoordinator::updateSurfaceTimer() {
  if (dismantled_)
    return;
  const bool ticking = surfaceChecking_ && model_->isActiveForRendering();
  if (ticking == surfaceTimer_.isActive())
    return;
  if (!ticking) {
    surfaceCheck();
    surfaceTimer_.cancel();
    return;
  }
  std::weak_ptr<WorkspaceSurfaceCoordinator> weak = weak_from_this();
  surfaceTimer_ = services_.scheduler.scheduleRepeating(timings_.surfaceCheckInterval, [weak] {
    if (auto self = weak.lock())
      self->surfaceCheck();
  });
}

void WorkspaceSurfaceCoordinator::navigationFinished(NavigationId id) {
  if (dismantled_ || activeNavigation_ != id)
    return;
  model_->setLoading(false);
  model_->setDidFailToLoad(false);
  model_->setOffline(false);
  historyChanged();
  model_->markLoadedOnce();
  activeNavigation_.reset();
  loadDeadline_.cancel();
  model_->setReady(readiness_.isReady());
  if (readiness_.isReady() && sessionIsCurrent())
    model_->startCommandDeliveryIfNeeded();
}

void WorkspaceSurfaceCoordinator::navigationFailed(NavigationId id, const EngineError& error) {
  if (dismantled_ || activeNavigation_ != id)
    return;
  activeNavigation_.reset();
  loadDeadline_.cancel();
  handleFailure(LoadError::fromEngine(error));
}

void WorkspaceSurfaceCoordinator::handleFailure(const LoadError& error) {
  model_->setLoading(false);
  if (error.isInterruption() && model_->hasLoadedOnce() && !currentDocumentCommitted_) {
    model_->setReady(wasReadyBeforeNavigation_);
    return;
  }
  // The failure is what the tab shows; a surface check must not replace it.
  stopSurfaceTimer();
  const bool offline = error.isOffline();
  model_->setOffline(offline);
  model_->setDidFailToLoad(true);
  model_->setReady(false);
  send(offline ? "app_offline" : "app_load_failed",
       {{"domain", error.domain}, {"code", std::to_string(error.code)}});
}

void WorkspaceSurfaceCoordinator::surfaceCheck() {
  if (dismantled_)
    return;
  if (!readiness_.recordSurfaceCheck(model_->isActiveForRendering(), uptime()))
    return;
  stopSurfaceTimer();
  model_->setLoading(false);
  model_->setReady(false);
  model_->setOffline(false);
  model_->setDidFailToLoad(true);
  model_->setReadinessError(std::string(kUnstyledSurfaceMessage));
  send("app_load_failed", {{"reason", "unstyled_surface_timeout"}});
}

void WorkspaceSurfaceCoordinator::titleChanged(const std::optional<std::string>& title) {
  if (dismantled_)
    return;
  model_->setPageTitle(cleanPageTitle(title));
}

void WorkspaceSurfaceCoordinator::locationChanged() {
  if (dismantled_)
    return;
  if (model_->onRecoveryLocationChanged)
    model_->onRecoveryLocationChanged();
}

void WorkspaceSurfaceCoordinator::historyChanged() {
  if (dismantled_)
    return;
  if (auto view = view_.lock()) {
    model_->setCanGoBack(view->canGoBack());
    model_->setCanGoForward(view->canGoForward());
  }
}

bool WorkspaceSurfaceCoordinator::sessionIsCurrent() const {
  return !session_.isSessionCurrent || session_.isSessionCurrent();
}

void WorkspaceSurfaceCoordinator::endSession(std::string_view reason) {
  if (dismantled_ || didSignalSessionEnd_)
    return;
  didSignalSessionEnd_ = true;
  send("session_expired", {{"reason", std::string(reason)}});
  // A copy: the callback may update this coordinator with a new session.
  auto onSessionEnded = session_.onSessionEnded;
  if (onSessionEnded)
    onSessionEnded();
}

void WorkspaceSurfaceCoordinator::channelMessageReceived(const std::string& frameUri,
                                                         std::string_view json) {
  if (dismantled_ || json.size() > kMaxChannelMessageBytes)
    return;
  auto frame = Url::parse(frameUri);
  if (!frame || !frame->lowercasedHost() ||
      !model_->environment().isAllowedOrigin(frame->scheme(), *frame->lowercasedHost(),
                                             frame->port().value_or(0)))
    return;
  auto body = parseObject(json);
  if (!body || body->empty())
    return;
  const std::string* channel = stringMember(*body, "channel");
  if (!channel)
    return;
  static const Json kEmpty = Json::object();
  auto payloadEntry = body->find("payload");
  const Json& payload = payloadEntry == body->end() ? kEmpty : *payloadEntry;

  if (*channel == "orlith:desktop-ready") {
    if (model_->isReady() && sessionIsCurrent())
      model_->startCommandDeliveryIfNeeded();
  } else if (*channel == "orlith:signed-out" || *channel == "orlith:session-expired") {
    // A stale end is already being handled by whoever made the session stale.
    if (sessionIsCurrent())
      endSession(*channel);
  } else if (*channel == "orlith:print") {
    std::weak_ptr<WorkspaceSurfaceCoordinator> weak = weak_from_this();
    MainQueue::shared().post([weak] {
      auto self = weak.lock();
      if (self && !self->dismantled_ && self->services_.print)
        self->services_.print();
    });
  } else if (*channel == "orlith:web-theme") {
    if (!view_.lock() || !isUnderAppPath(*frame) || !sessionIsCurrent())
      return;
    syncTheme();
  } else if (*channel == "orlith:open-external") {
    const std::string* target = payload.is_object() ? stringMember(payload, "url") : nullptr;
    auto url = target ? Url::parse(*target) : std::nullopt;
    if (url && NavigationPolicy::isExternalScheme(url->scheme()) && services_.openExternally)
      services_.openExternally(*target);
  } else if (*channel == "orlith:sidebar-state") {
    if (!payload.is_object())
      return;
    auto collapsed = payload.find("collapsed");
    if (collapsed == payload.end() || !collapsed->is_boolean())
      return;
    try {
      services_.preferences.setValue(std::string(kSidebarCollapsedKey), collapsed->get<bool>());
    } catch (const std::exception&) {
      // A choice that could not be saved stays the page's own; the page keeps working.
    }
  }
}

void WorkspaceSurfaceCoordinator::readinessMessageReceived(std::string_view json) {
  if (dismantled_)
    return;
  auto view = view_.lock();
  if (!view)
    return;
  auto frameUri = view->currentUri();
  auto frame = frameUri ? Url::parse(*frameUri) : std::nullopt;
  if (!frame || !model_->environment().isAllowedURL(*frame))
    return;
  auto frameOrigin = SurfaceReadiness::readinessOrigin(*frame);
  if (!frameOrigin || frameOrigin != readiness_.committedOrigin())
    return;
  auto body = parseObject(json);
  if (!body)
    return;
  const std::string* ticket = stringMember(*body, "ticket");
  const std::string* origin = stringMember(*body, "origin");
  if (!ticket || !origin || !readiness_.markReportedReady(*ticket, *origin))
    return;
  stopSurfaceTimer();
  model_->setReady(true);
  model_->setLoading(false);
  model_->setDidFailToLoad(false);
  model_->setOffline(false);
  model_->setReadinessError(std::nullopt);
  if (sessionIsCurrent())
    model_->startCommandDeliveryIfNeeded();
  syncTheme();
  send("app_ready");
}

void WorkspaceSurfaceCoordinator::syncTheme() {
  if (dismantled_)
    return;
  auto view = view_.lock();
  if (!view)
    return;
  ++themeReadRevision_;
  startDetached(readTheme(
      weak_from_this(),
      view->evaluateScript(std::string(WebSurfaceScripts::kThemeProbeScript), ScriptWorld::page),
      themeReadRevision_));
}

Task<void> WorkspaceSurfaceCoordinator::readTheme(std::weak_ptr<WorkspaceSurfaceCoordinator> weak,
                                                  Task<std::optional<Json>> probe,
                                                  std::uint64_t revision) {
  std::optional<Json> answer = co_await std::move(probe);
  auto self = weak.lock();
  if (!self || self->dismantled_ || self->themeReadRevision_ != revision)
    co_return;
  auto view = self->view_.lock();
  auto uri = view ? view->currentUri() : std::nullopt;
  auto expected = uri ? Url::parse(*uri) : std::nullopt;
  if (!expected)
    co_return;
  if (auto theme = WebSurfaceScripts::parseThemeProbe(answer, *expected)) {
    self->services_.appearance.adoptWebTheme(*theme);
    self->appearanceChanged();
  }
}

Task<void> WorkspaceSurfaceCoordinator::discard(Task<std::optional<Json>> task) {
  co_await std::move(task);
}

void WorkspaceSurfaceCoordinator::appearanceChanged() {
  if (dismantled_)
    return;
  if (lastPushedIsDark_ != services_.appearance.resolvedIsDark())
    installScripts();
}

void WorkspaceSurfaceCoordinator::applyOutcome(const NavigationOutcome& outcome) {
  if (outcome.openExternally && !dismantled_ && services_.openExternally)
    services_.openExternally(*outcome.openExternally);
  if (outcome.endSession)
    endSession(*outcome.endSession);
}

PolicyDecision WorkspaceSurfaceCoordinator::decideAction(const NavigationActionFacts& facts,
                                                         Redirect redirect) {
  NavigationActionFacts known = facts;
  if (!known.frames && known.type == NavigationType::linkActivated && redirect == Redirect::no &&
      !dismantled_) {
    auto activation = activations_.take(known.uri, uptime());
    if (activation && MainFrameActivations::targetsOwnFrame(activation->target)) {
      // The engine counts script the app runs in the page as a gesture; the person's own
      // click is the one the page reported as trusted.
      known.isUserGesture = known.isUserGesture && activation->trusted;
      ActionFrameFacts frames;
      frames.targetFrame = FrameKind::main;
      frames.sourceIsMainFrame = true;
      frames.shouldPerformDownload = activation->download;
      auto view = view_.lock();
      auto page = view ? view->currentUri() : std::nullopt;
      auto pageUrl = page ? Url::parse(*page) : std::nullopt;
      if (pageUrl && pageUrl->lowercasedHost())
        frames.sourceOrigin = SecurityOrigin{pageUrl->scheme(), *pageUrl->lowercasedHost(),
                                             pageUrl->port().value_or(0)};
      known.frames = frames;
    }
  }
  NavigationOutcome outcome =
      policy_.decideAction(known, dismantled_ ? Dismantled::yes : Dismantled::no);
  applyOutcome(outcome);
  if (outcome.decision == PolicyDecision::download)
    responseDownloads_.insert(known.uri);
  return outcome.decision;
}

PolicyDecision WorkspaceSurfaceCoordinator::decideResponse(const NavigationResponseFacts& facts) {
  NavigationOutcome outcome = policy_.decideResponse(
      facts, ActionFrameFactsKnown::no, dismantled_ ? Dismantled::yes : Dismantled::no);
  applyOutcome(outcome);
  if (outcome.decision == PolicyDecision::download)
    responseDownloads_.insert(facts.uri);
  return outcome.decision;
}

void WorkspaceSurfaceCoordinator::requestNewWindow(const std::string& uri, bool isUserGesture) {
  const bool fresh = isUserGesture && userInputs_ > inputUsedByNewWindow_ && !dismantled_ &&
                     uptime() - lastUserInputAt_ <= kUserInputLifetimeSeconds;
  if (fresh)
    inputUsedByNewWindow_ = userInputs_;
  NewWindowOutcome outcome =
      policy_.decideNewWindow(uri, fresh ? FreshUserInput::yes : FreshUserInput::no,
                              dismantled_ ? Dismantled::yes : Dismantled::no);
  if (outcome.loadInThisView) {
    if (auto view = view_.lock())
      view->load(*outcome.loadInThisView);
  }
  if (outcome.openExternally && services_.openExternally)
    services_.openExternally(*outcome.openExternally);
}

bool WorkspaceSurfaceCoordinator::admitDownload(const std::string& uri) {
  DownloadFacts facts;
  facts.uri = uri;
  if (auto found = responseDownloads_.find(uri); found != responseDownloads_.end()) {
    responseDownloads_.erase(found);
    facts.startedByPolicy = true;
  }
  if (auto view = view_.lock())
    facts.viewUri = view->currentUri();
  return policy_.admitDownload(facts, dismantled_ ? Dismantled::yes : Dismantled::no);
}

void WorkspaceSurfaceCoordinator::mainFrameLinkActivated(LinkActivation activation) {
  if (dismantled_)
    return;
  activations_.record(std::move(activation), uptime());
}

void WorkspaceSurfaceCoordinator::userInputReceived() {
  if (dismantled_)
    return;
  ++userInputs_;
  lastUserInputAt_ = uptime();
}

PageFacts WorkspaceSurfaceCoordinator::pageFacts() const {
  PageFacts facts;
  if (auto view = view_.lock())
    facts.mainFrameUri = view->currentUri();
  facts.frameGuard = frameGuard_;
  facts.dismantled = dismantled_;
  return facts;
}

ScriptDialogDecision WorkspaceSurfaceCoordinator::decideScriptDialog(ScriptDialogKind kind) const {
  return WebPermissions::decideScriptDialog(kind, pageFacts(), model_->environment());
}

void WorkspaceSurfaceCoordinator::printRequested() {
  if (!WebPermissions::allowsPrint(pageFacts(), model_->environment()))
    return;
  std::weak_ptr<WorkspaceSurfaceCoordinator> weak = weak_from_this();
  MainQueue::shared().post([weak] {
    auto self = weak.lock();
    if (self && !self->dismantled_ && self->services_.print)
      self->services_.print();
  });
}

MediaCaptureDecision WorkspaceSurfaceCoordinator::decideMediaCapture(
    const MediaCaptureRequest& request) const {
  return WebPermissions::decideMediaCapture(request, pageFacts(), model_->environment(),
                                            services_.preferences);
}

void WorkspaceSurfaceCoordinator::microphoneAnswered(bool allowed) {
  // Remembered even when the tab is gone meanwhile: it was the person's answer.
  WebPermissions::rememberMicrophoneAnswer(services_.preferences, allowed);
}

void WorkspaceSurfaceCoordinator::webProcessTerminated() {
  if (dismantled_)
    return;
  loadDeadline_.cancel();
  activeNavigation_.reset();
  stopSurfaceTimer();
  readiness_.reset();
  const double now = uptime();
  if (lastAutomaticRetry_ && now - *lastAutomaticRetry_ < timings_.rendererRetryWindowSeconds) {
    model_->setLoading(false);
    model_->setDidFailToLoad(true);
    send("app_load_failed", {{"reason", "renderer_repeatedly_terminated"}});
    return;
  }
  lastAutomaticRetry_ = now;
  model_->setDidFailToLoad(false);
  model_->setOffline(false);
  model_->setLoading(true);
  auto view = view_.lock();
  if (!view)
    return;
  auto uri = view->currentUri();
  auto current = uri ? Url::parse(*uri) : std::nullopt;
  if (current && current->isHttpOrHttps())
    view->reload(ReloadCache::bypass);
  else
    view->load(model_->appPageURL());
}

void WorkspaceSurfaceCoordinator::networkChanged(bool satisfied) {
  if (dismantled_)
    return;
  const std::optional<bool> last = std::exchange(lastPathSatisfied_, satisfied);
  if (!satisfied || last != false)
    return;
  send("app_online");
  if (model_->didFailToLoad() && model_->isOffline()) {
    model_->setOffline(false);
    model_->reload(ReloadCache::use);
  }
}

void WorkspaceSurfaceCoordinator::setHostVisible(bool visible) {
  if (dismantled_ || hostVisible_ == visible)
    return;
  hostVisible_ = visible;
  probeVisibility();
}

void WorkspaceSurfaceCoordinator::probeVisibility() {
  if (dismantled_)
    return;
  const bool active = hostVisible_ && model_->isActiveForRendering();
  if (lastProbeActivity_ == active)
    return;
  lastProbeActivity_ = active;
  if (auto view = view_.lock()) {
    startDetached(discard(view->evaluateScript(WebSurfaceScripts::surfaceActiveScript(active),
                                               ScriptWorld::readiness)));
  }
  if (active && surfaceChecking_)
    surfaceCheck();
}

}  // namespace orlith
