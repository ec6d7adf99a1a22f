// One tab's controller with a fake engine: load lifecycle and its deadline, readiness, the
// bridge's channels, session end per revision, renderer and network recovery, teardown.
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"

#include <gtest/gtest.h>

#include "support/FakePreferences.h"
#include "support/FakeWebEngineView.h"
#include "support/ManualMainQueue.h"
#include "support/ManualTime.h"
#include "support/SequentialUuidSource.h"
#include "unit/surface/SurfaceEnvironments.h"
#include "workspace/surface/PageTitle.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using testing::FakeWebEngineView;
using testing::productionEnvironment;
using testing::url;

const std::string kAppPage = "https://orlith.example/app";

class LightDesktop final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { current = appearance; }
  AppAppearance appAppearance() const override { return current; }
  AppAppearance current = AppAppearance::system;
};

class NullContent final : public UserContentController {
 public:
  void removeAllScripts() override { ++installs; }
  void addScript(const UserScript&) override {}
  int installs = 0;
};

struct Event {
  std::string name;
  DiagnosticsDetail detail;
  friend bool operator==(const Event&, const Event&) = default;
};

void PrintTo(const Event& event, std::ostream* out) {
  *out << event.name;
  for (const auto& [key, value] : event.detail)
    *out << " " << key << "=" << value;
}

class CoordinatorTest : public ::testing::Test {
 protected:
  CoordinatorTest() {
    model_ = WorkspaceModel::create(productionEnvironment(), std::nullopt, time_);
    coordinator_ = make(session(1));
    coordinator_->attach(view_, content_);
    run();
  }
  ~CoordinatorTest() override {
    coordinator_.reset();
    model_.reset();
    queue_.runUntilIdle();
  }

  std::shared_ptr<WorkspaceSurfaceCoordinator> make(SurfaceSession surfaceSession) {
    SurfaceServices services{time_,
                             time_,
                             uuids_,
                             preferences_,
                             appearance_,
                             [this](std::string_view name, const DiagnosticsDetail& detail) {
                               events_.push_back({std::string(name), detail});
                             },
                             [this](const std::string& uri) { opened_.push_back(uri); },
                             [this] { ++prints_; },
                             install_};
    WebSurfaceScripts scripts(productionEnvironment(), "1.2.3", testing::kTestHosts);
    return WorkspaceSurfaceCoordinator::create(model_, std::move(scripts), std::move(services),
                                               std::move(surfaceSession));
  }
  SurfaceSession session(std::int64_t revision, int* ends = nullptr) {
    SurfaceSession result;
    result.email = "ada@orlith.example";
    result.revision = revision;
    result.isSessionCurrent = [this] { return sessionCurrent_; };
    result.onSessionEnded = [this, ends] { ++(ends ? *ends : ends_); };
    return result;
  }

  void run() { queue_.runUntilIdle(); }
  void advance(std::chrono::milliseconds span) {
    time_.advance(span);
    run();
  }
  // A main-frame navigation to `uri` up to its commit.
  void startAndCommit(const std::string& uri = kAppPage) {
    coordinator_->navigationStarted(++navigation_);
    view_->uri = uri;
    coordinator_->navigationCommitted(navigation_, uri);
  }
  void reportReady() {
    Json report{{"ticket", *coordinator_->readiness().ticket()},
                {"origin", "https://orlith.example"}};
    coordinator_->readinessMessageReceived(report.dump());
  }
  void loadReady() {
    startAndCommit();
    reportReady();
    coordinator_->navigationFinished(navigation_);
  }
  void channel(const std::string& json, const std::string& frame = kAppPage) {
    coordinator_->channelMessageReceived(frame, json);
    run();
  }
  int count(std::string_view name) const {
    return static_cast<int>(std::count_if(events_.begin(), events_.end(),
                                          [&](const Event& event) { return event.name == name; }));
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::ManualTime time_;
  SequentialUuidSource uuids_;
  FakePreferences preferences_;
  LightDesktop desktop_;
  AppearanceSettings appearance_{preferences_, desktop_};
  NullContent content_;
  std::function<Task<void>(std::stop_token)> install_;
  std::shared_ptr<FakeWebEngineView> view_ = std::make_shared<FakeWebEngineView>();
  std::shared_ptr<WorkspaceModel> model_;
  std::shared_ptr<WorkspaceSurfaceCoordinator> coordinator_;
  std::vector<Event> events_;
  std::vector<std::string> opened_;
  int prints_ = 0;
  int ends_ = 0;
  bool sessionCurrent_ = true;
  WorkspaceSurfaceCoordinator::NavigationId navigation_ = 0;
};

TEST_F(CoordinatorTest, AttachPutsTheViewInTheModelInstallsScriptsAndLoadsTheFirstPage) {
  EXPECT_EQ(model_->webView(), view_);
  EXPECT_EQ(content_.installs, 1);
  EXPECT_EQ(view_->loads, std::vector<std::string>{kAppPage});
}

struct Bootstrap {
  bool started = false;
  bool finished = false;
  std::optional<std::stop_source> release;
};

Task<void> waitForRelease(Bootstrap& bootstrap, Scheduler& scheduler, std::stop_token stop) {
  bootstrap.started = true;
  co_await sleepFor(scheduler, 1s, stop);
  bootstrap.finished = true;
}

TEST_F(CoordinatorTest, CookieBootstrapEndsBeforeTheFirstLoadAndDismantleStopsIt) {
  Bootstrap bootstrap;
  install_ = [&](std::stop_token stop) { return waitForRelease(bootstrap, time_, stop); };
  auto view = std::make_shared<FakeWebEngineView>();
  auto coordinator = make(session(1));
  coordinator->attach(view, content_);
  run();
  EXPECT_TRUE(bootstrap.started);
  EXPECT_TRUE(view->loads.empty()) << "no request goes out before the cookie is in";
  advance(1s);
  EXPECT_TRUE(bootstrap.finished);
  EXPECT_EQ(view->loads, std::vector<std::string>{kAppPage});

  Bootstrap stopped;
  install_ = [&](std::stop_token stop) { return waitForRelease(stopped, time_, stop); };
  auto late = std::make_shared<FakeWebEngineView>();
  auto dismantled = make(session(1));
  dismantled->attach(late, content_);
  run();
  dismantled->dismantle();
  advance(2s);
  EXPECT_FALSE(stopped.finished);
  EXPECT_TRUE(late->loads.empty());
}

struct LifecycleCase {
  const char* name;
  std::vector<std::string> steps;
  bool loading, failed, offline, ready;
  std::vector<Event> events;
};

void PrintTo(const LifecycleCase& lifecycle, std::ostream* out) {
  *out << lifecycle.name;
}

class LifecycleTest : public CoordinatorTest,
                      public ::testing::WithParamInterface<LifecycleCase> {};

EngineError engineError(const std::string& kind) {
  if (kind == "cancelled")
    return {EngineErrorKind::cancelled, "WebKitNetworkError", 302};
  if (kind == "policy")
    return {EngineErrorKind::interruptedByPolicy, "WebKitPolicyError", 102};
  if (kind == "refused")
    return {EngineErrorKind::connectionRefused, "g-io-error-quark", 39};
  return {EngineErrorKind::other, "WebKitNetworkError", 399};
}

TEST_P(LifecycleTest, EventSequenceLeavesTheTabInItsState) {
  for (const std::string& step : GetParam().steps) {
    if (step == "start") {
      coordinator_->navigationStarted(++navigation_);
    } else if (step == "commit") {
      view_->uri = kAppPage;
      coordinator_->navigationCommitted(navigation_, kAppPage);
    } else if (step == "commitBlank") {
      coordinator_->navigationCommitted(navigation_, "about:blank");
    } else if (step == "report") {
      reportReady();
    } else if (step == "finish") {
      coordinator_->navigationFinished(navigation_);
    } else if (step.starts_with("fail:")) {
      coordinator_->navigationFailed(navigation_, engineError(step.substr(5)));
    } else if (step.starts_with("wait:")) {
      advance(std::chrono::milliseconds(std::stoi(step.substr(5))));
    } else {
      FAIL() << "unknown step " << step;
    }
  }
  EXPECT_EQ(model_->isLoading(), GetParam().loading);
  EXPECT_EQ(model_->didFailToLoad(), GetParam().failed);
  EXPECT_EQ(model_->isOffline(), GetParam().offline);
  EXPECT_EQ(model_->isReady(), GetParam().ready);
  EXPECT_EQ(events_, GetParam().events);
}

const Event kReady{"app_ready", {}};
Event failed(const char* domain, const char* code) {
  return {"app_load_failed", {{"domain", domain}, {"code", code}}};
}
Event offline(const char* code) {
  return {"app_offline", {{"domain", "NSURLErrorDomain"}, {"code", code}}};
}
const std::vector<std::string> kLoaded = {"start", "commit", "report", "finish"};

std::vector<std::string> after(std::vector<std::string> first,
                               const std::vector<std::string>& then) {
  first.insert(first.end(), then.begin(), then.end());
  return first;
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, LifecycleTest,
    ::testing::Values(
        LifecycleCase{
            "finishWithoutReport", {"start", "commit", "finish"}, false, false, false, false, {}},
        LifecycleCase{"reportThenFinish", kLoaded, false, false, false, true, {kReady}},
        LifecycleCase{"refusedIsOffline",
                      {"start", "fail:refused"},
                      false,
                      true,
                      true,
                      false,
                      {offline("-1004")}},
        LifecycleCase{"otherFailure",
                      {"start", "fail:other"},
                      false,
                      true,
                      false,
                      false,
                      {failed("WebKitNetworkError", "399")}},
        LifecycleCase{"cancelBeforeFirstLoadFails",
                      {"start", "fail:cancelled"},
                      false,
                      true,
                      false,
                      false,
                      {failed("NSURLErrorDomain", "-999")}},
        LifecycleCase{"downloadAfterFirstLoadIsAnInterruption",
                      after(kLoaded, {"start", "fail:policy"}),
                      false,
                      false,
                      false,
                      true,
                      {kReady}},
        LifecycleCase{"cancelAfterCommitFails",
                      after(kLoaded, {"start", "commit", "fail:cancelled"}),
                      false,
                      true,
                      false,
                      false,
                      {kReady, failed("NSURLErrorDomain", "-999")}},
        LifecycleCase{"deadlineThenItsOwnStop",
                      {"start", "wait:75000", "fail:cancelled", "finish"},
                      false,
                      true,
                      true,
                      false,
                      {offline("-1001")}},
        LifecycleCase{"earlierDeadlineDoesNothing",
                      {"start", "wait:50000", "start", "wait:50000"},
                      true,
                      false,
                      false,
                      false,
                      {}},
        LifecycleCase{"failureThenFinishKeepsTheFailure",
                      {"start", "fail:refused", "finish"},
                      false,
                      true,
                      true,
                      false,
                      {offline("-1004")}},
        LifecycleCase{"commitOutsideTheWebFails",
                      {"start", "commitBlank"},
                      false,
                      true,
                      false,
                      false,
                      {failed("WebKitErrorDomain", "101")}},
        LifecycleCase{"unpaintedSurfaceGivesUpAfterEightSeconds",
                      {"start", "commit", "finish", "wait:8500"},
                      false,
                      true,
                      false,
                      false,
                      {{"app_load_failed", {{"reason", "unstyled_surface_timeout"}}}}},
        LifecycleCase{"offlineFailureIsNotReplacedByTheSurfaceTimeout",
                      {"start", "commit", "fail:refused", "wait:9000"},
                      false,
                      true,
                      true,
                      false,
                      {offline("-1004")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CoordinatorTest, DeadlineStopsTheEngineAndFirstFinishSetsLoadedOnce) {
  coordinator_->navigationStarted(++navigation_);
  advance(75s);
  EXPECT_EQ(view_->stops, 1);
  EXPECT_FALSE(model_->hasLoadedOnce());
  loadReady();
  EXPECT_TRUE(model_->hasLoadedOnce());
  EXPECT_FALSE(model_->readinessError().has_value());
}

TEST_F(CoordinatorTest, ReadinessReportCountsOnlyWithTheCurrentTicketAndOrigin) {
  startAndCommit();
  const std::string ticket = *coordinator_->readiness().ticket();
  auto report = [&](const std::string& reportTicket, const char* origin) {
    coordinator_->readinessMessageReceived(
        Json{{"ticket", reportTicket}, {"origin", origin}}.dump());
  };
  report(std::string(32, 'a'), "https://orlith.example");
  report(ticket, "https://www.orlith.example");
  coordinator_->readinessMessageReceived(R"({"ticket": 1, "origin": "https://orlith.example"})");
  EXPECT_FALSE(model_->isReady());

  startAndCommit();
  report(ticket, "https://orlith.example");
  EXPECT_FALSE(model_->isReady()) << "a ticket of an earlier arming";

  ASSERT_TRUE(model_->pendingCommands().enqueue(Json{{"type", "new-note"}}));
  const std::string current = *coordinator_->readiness().ticket();
  report(current, "https://orlith.example");
  EXPECT_TRUE(model_->isReady());
  EXPECT_EQ(count("app_ready"), 1);
  EXPECT_TRUE(model_->isDeliveringCommands()) << "readiness starts the delivery";
  report(current, "https://orlith.example");
  EXPECT_EQ(count("app_ready"), 1);
}

TEST_F(CoordinatorTest, CommitArmsTheReadinessWorldWithThePagesOwnOrigin) {
  view_->evaluations.clear();
  startAndCommit();
  run();
  ASSERT_EQ(view_->evaluations.size(), 1u);
  EXPECT_EQ(view_->evaluations[0].world, ScriptWorld::readiness);
  Json arguments{{"ticket", *coordinator_->readiness().ticket()},
                 {"origin", "https://orlith.example"}};
  EXPECT_EQ(view_->evaluations[0].source,
            std::string(WebSurfaceScripts::kArmSurfaceFunctionBody) + " " + arguments.dump())
      << "no default port in what the page compares with location.origin";
}

struct ChannelCase {
  const char* name;
  std::string json;
  std::string frame = kAppPage;
  std::vector<std::string> opened = {};
  std::optional<bool> sidebar = std::nullopt;
  int prints = 0;
};

void PrintTo(const ChannelCase& channel, std::ostream* out) {
  *out << channel.name;
}

class ChannelTest : public CoordinatorTest, public ::testing::WithParamInterface<ChannelCase> {};

TEST_P(ChannelTest, MessageHasOnlyItsChannelsEffect) {
  channel(GetParam().json, GetParam().frame);
  EXPECT_EQ(opened_, GetParam().opened);
  auto stored = preferences_.value("orlith.sidebarCollapsed");
  EXPECT_EQ(stored ? std::optional<bool>(std::get<bool>(*stored)) : std::nullopt,
            GetParam().sidebar);
  EXPECT_EQ(prints_, GetParam().prints);
  EXPECT_EQ(ends_, 0);
}

const std::string kOpenMail =
    R"({"channel": "orlith:open-external", "payload": {"url": "mailto:a@b.c"}})";

INSTANTIATE_TEST_SUITE_P(
    Channels, ChannelTest,
    ::testing::Values(
        ChannelCase{"openExternal", kOpenMail, kAppPage, {"mailto:a@b.c"}},
        ChannelCase{"openExternalFromForeignOrigin", kOpenMail, "https://evil.example/app"},
        ChannelCase{"openExternalFromWrongPort", kOpenMail, "https://orlith.example:8443/app"},
        ChannelCase{
            "openExternalOfOtherScheme",
            R"({"channel": "orlith:open-external", "payload": {"url": "file:///etc/passwd"}})"},
        ChannelCase{"openExternalWithoutUrl",
                    R"({"channel": "orlith:open-external", "payload": {"url": 5}})"},
        ChannelCase{"sidebarTrue",
                    R"({"channel": "orlith:sidebar-state", "payload": {"collapsed": true}})",
                    kAppPage,
                    {},
                    true},
        ChannelCase{"sidebarText",
                    R"({"channel": "orlith:sidebar-state", "payload": {"collapsed": "yes"}})"},
        ChannelCase{"sidebarNumber",
                    R"({"channel": "orlith:sidebar-state", "payload": {"collapsed": 1}})"},
        ChannelCase{"print",
                    R"({"channel": "orlith:print", "payload": {}})",
                    kAppPage,
                    {},
                    std::nullopt,
                    1},
        ChannelCase{"unknownChannel", R"({"channel": "orlith:Print", "payload": {}})"},
        ChannelCase{"channelNotText", R"({"channel": 3})"},
        ChannelCase{"notAnObject", R"(["orlith:print"])"},
        ChannelCase{"notJson", "{channel: 'orlith:print'}"},
        ChannelCase{"tooLarge", R"({"channel": "orlith:print", "payload": {"x": ")" +
                                    std::string(1024 * 1024, 'x') + R"("}})"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CoordinatorTest, SessionEndIsSignalledOncePerRevisionWithItsOwnCallback) {
  channel(R"({"channel": "orlith:signed-out"})");
  channel(R"({"channel": "orlith:session-expired"})");
  EXPECT_EQ(ends_, 1);
  ASSERT_EQ(count("session_expired"), 1);
  EXPECT_EQ(events_.back().detail, (DiagnosticsDetail{{"reason", "orlith:signed-out"}}));

  coordinator_->update(session(1));
  channel(R"({"channel": "orlith:session-expired"})");
  EXPECT_EQ(ends_, 1) << "the same revision keeps its signal";

  int secondEnds = 0;
  coordinator_->update(session(2, &secondEnds));
  EXPECT_TRUE(view_->loads.size() == 1 && view_->reloads.empty()) << "an update never reloads";
  NavigationResponseFacts response{"https://orlith.example/app/x", true, true, true, 401, false};
  EXPECT_EQ(coordinator_->decideResponse(response), PolicyDecision::cancel);
  EXPECT_EQ(coordinator_->decideResponse(response), PolicyDecision::cancel);
  EXPECT_EQ(ends_, 1);
  EXPECT_EQ(secondEnds, 1);
  EXPECT_EQ(events_.back().detail, (DiagnosticsDetail{{"reason", "http_401"}}));

  int staleEnds = 0;
  coordinator_->update(session(1, &staleEnds));
  coordinator_->update(session(3, &staleEnds));
  sessionCurrent_ = false;
  channel(R"({"channel": "orlith:signed-out"})");
  EXPECT_EQ(staleEnds, 0) << "a stale session's end is not the page's to report";
}

TEST_F(CoordinatorTest, DesktopReadyAndThemeWaitForAReadyCurrentSession) {
  ASSERT_TRUE(model_->pendingCommands().enqueue(Json{{"type", "new-note"}}));
  channel(R"({"channel": "orlith:desktop-ready"})");
  EXPECT_FALSE(model_->isDeliveringCommands()) << "not ready yet";
  loadReady();
  model_->cancelCommandDelivery();
  ASSERT_TRUE(model_->pendingCommands().enqueue(Json{{"type", "new-note"}}));
  sessionCurrent_ = false;
  channel(R"({"channel": "orlith:desktop-ready"})");
  EXPECT_FALSE(model_->isDeliveringCommands());
  view_->evaluations.clear();
  channel(R"({"channel": "orlith:web-theme", "payload": {"theme": "dark"}})");
  EXPECT_TRUE(view_->evaluations.empty());
  sessionCurrent_ = true;
  channel(R"({"channel": "orlith:desktop-ready"})");
  EXPECT_TRUE(model_->isDeliveringCommands());
}

TEST_F(CoordinatorTest, PageThemeIsAdoptedOnlyFromTheCurrentRevisionsProbe) {
  loadReady();
  run();
  view_->answers.clear();
  view_->defaultAnswer = Json{{"theme", "dark"}, {"href", kAppPage}};
  channel(R"({"channel": "orlith:web-theme", "payload": {"theme": "dark"}})",
          "https://orlith.example/share/x");
  EXPECT_EQ(desktop_.current, AppAppearance::system) << "theme reports count only under /app";

  // The new session probes again and reads light; the earlier session's dark answer is dropped.
  view_->answers = {Json{{"theme", "dark"}, {"href", kAppPage}},
                    Json{{"theme", "light"}, {"href", kAppPage}}};
  view_->duringEvaluation = [this] { coordinator_->update(session(2)); };
  channel(R"({"channel": "orlith:web-theme", "payload": {"theme": "dark"}})");
  EXPECT_EQ(desktop_.current, AppAppearance::system) << "answer of the earlier session dropped";
  EXPECT_TRUE(view_->answers.empty()) << "both probes ran";
  view_->duringEvaluation = nullptr;
  channel(R"({"channel": "orlith:web-theme", "payload": {"theme": "dark"}})");
  EXPECT_EQ(desktop_.current, AppAppearance::dark);
  EXPECT_EQ(content_.installs, 2) << "later documents are seeded dark";
}

TEST_F(CoordinatorTest, RendererCrashReloadsOnceAMinute) {
  view_->uri = kAppPage;
  coordinator_->webProcessTerminated();
  EXPECT_EQ(view_->reloads, std::vector<ReloadCache>{ReloadCache::bypass});
  EXPECT_TRUE(model_->isLoading());
  advance(59s);
  coordinator_->webProcessTerminated();
  EXPECT_EQ(view_->reloads.size(), 1u);
  EXPECT_TRUE(model_->didFailToLoad());
  EXPECT_FALSE(model_->isLoading());
  ASSERT_EQ(count("app_load_failed"), 1);
  EXPECT_EQ(events_.back().detail,
            (DiagnosticsDetail{{"reason", "renderer_repeatedly_terminated"}}));
  advance(1s);
  view_->uri.reset();
  coordinator_->webProcessTerminated();
  EXPECT_EQ(view_->loads.back(), kAppPage)
      << "60.0 s after the last recovery; no page: origin /app";
  EXPECT_FALSE(model_->didFailToLoad());
}

TEST_F(CoordinatorTest, NetworkReturnReloadsOnlyATabThatFailedOffline) {
  view_->uri = kAppPage;
  coordinator_->networkChanged(true);
  EXPECT_TRUE(events_.empty()) << "the first report only records";
  coordinator_->navigationStarted(++navigation_);
  coordinator_->navigationFailed(navigation_, engineError("refused"));
  coordinator_->networkChanged(false);
  coordinator_->networkChanged(true);
  EXPECT_EQ(count("app_online"), 1);
  EXPECT_EQ(view_->reloads.size(), 1u);
  EXPECT_FALSE(model_->isOffline());
  EXPECT_FALSE(model_->didFailToLoad());

  coordinator_->navigationStarted(++navigation_);
  coordinator_->navigationFailed(navigation_, engineError("other"));
  coordinator_->networkChanged(false);
  coordinator_->networkChanged(true);
  EXPECT_EQ(count("app_online"), 2);
  EXPECT_EQ(view_->reloads.size(), 1u) << "a failure while online is the user's to retry";
}

TEST_F(CoordinatorTest, PolicyAnswersCarryOutTheirEffects) {
  view_->uri = "https://orlith.example/app/x";
  NavigationActionFacts click{"https://example.invalid/x", NavigationType::linkActivated, true, {}};
  EXPECT_EQ(coordinator_->decideAction(click), PolicyDecision::allow)
      << "a click in an unknown frame loads there; a main-frame response would be judged";
  coordinator_->mainFrameLinkActivated({"https://example.invalid/x", "", false, true});
  EXPECT_EQ(coordinator_->decideAction(click, WorkspaceSurfaceCoordinator::Redirect::yes),
            PolicyDecision::allow)
      << "a redirect is no activation";
  EXPECT_EQ(coordinator_->decideAction(click), PolicyDecision::cancel)
      << "the main frame's own link goes outside before any request";
  EXPECT_EQ(opened_, std::vector<std::string>{"https://example.invalid/x"});
  NavigationActionFacts mail{"mailto:a@b.c", NavigationType::linkActivated, true, {}};
  coordinator_->mainFrameLinkActivated({mail.uri, "", false, false});
  EXPECT_EQ(coordinator_->decideAction(mail), PolicyDecision::cancel)
      << "the page's own click, with the gesture of script the app ran, starts no program";
  coordinator_->mainFrameLinkActivated({mail.uri, "", false, true});
  EXPECT_EQ(coordinator_->decideAction(mail), PolicyDecision::cancel);
  EXPECT_EQ(opened_.back(), "mailto:a@b.c");
  opened_.clear();
  coordinator_->mainFrameLinkActivated({"https://example.invalid/y", "frame-name", false, true});
  EXPECT_EQ(coordinator_->decideAction(
                {"https://example.invalid/y", NavigationType::linkActivated, true, {}}),
            PolicyDecision::allow)
      << "a link aimed at another frame keeps the unknown-frame rules";

  NavigationResponseFacts login{"https://orlith.example/login", true, true, true, 200, false};
  EXPECT_EQ(coordinator_->decideResponse(login), PolicyDecision::cancel);
  EXPECT_EQ(ends_, 1);

  NavigationActionFacts data{"data:text/plain,x", NavigationType::linkActivated, false, {}};
  EXPECT_EQ(coordinator_->decideAction(data), PolicyDecision::allow);
  EXPECT_FALSE(coordinator_->admitDownload(data.uri)) << "no frame asked this tab for it";
  coordinator_->mainFrameLinkActivated({data.uri, "", true, false});
  EXPECT_EQ(coordinator_->decideAction(data), PolicyDecision::download);
  EXPECT_TRUE(coordinator_->admitDownload(data.uri)) << "the main frame's download link";
  EXPECT_FALSE(coordinator_->admitDownload(data.uri)) << "once";

  NavigationResponseFacts file{"https://orlith.example/api/f.bin", true, true, false, 200, false};
  EXPECT_EQ(coordinator_->decideResponse(file), PolicyDecision::download);
  view_->uri = "https://evil.example/";
  EXPECT_TRUE(coordinator_->admitDownload(file.uri)) << "started by the response rule";
  EXPECT_FALSE(coordinator_->admitDownload(file.uri)) << "once";

  const auto loads = view_->loads.size();
  coordinator_->requestNewWindow("https://orlith.example/app/y", true);
  EXPECT_EQ(view_->loads.size(), loads) << "no person's input yet";
  coordinator_->userInputReceived();
  coordinator_->requestNewWindow("https://orlith.example/app/y", false);
  EXPECT_EQ(view_->loads.size(), loads) << "no gesture";
  coordinator_->requestNewWindow("https://orlith.example/app/y", true);
  EXPECT_EQ(view_->loads.back(), "https://orlith.example/app/y");
  coordinator_->requestNewWindow("https://example.invalid/popup", true);
  EXPECT_EQ(opened_.size(), 0u) << "one input, one window";
  coordinator_->userInputReceived();
  coordinator_->requestNewWindow("https://example.invalid/popup", true);
  EXPECT_EQ(opened_.back(), "https://example.invalid/popup");
  coordinator_->userInputReceived();
  advance(1500ms);
  coordinator_->requestNewWindow("https://example.invalid/late", true);
  EXPECT_EQ(opened_.size(), 1u) << "input of more than a second ago";

  coordinator_->dismantle();
  EXPECT_EQ(coordinator_->decideAction(click), PolicyDecision::cancel);
  EXPECT_EQ(coordinator_->decideResponse(file), PolicyDecision::cancel);
  coordinator_->userInputReceived();
  coordinator_->requestNewWindow("https://example.invalid/popup2", true);
  EXPECT_EQ(opened_.size(), 1u) << "a dismantled tab opens nothing";
}

TEST_F(CoordinatorTest, AfterDismantleNothingChangesTheModel) {
  startAndCommit();
  ASSERT_TRUE(model_->pendingCommands().enqueue(Json{{"type", "new-note"}}));
  const std::string ticket = *coordinator_->readiness().ticket();
  coordinator_->dismantle();
  EXPECT_EQ(time_.activeTimerCount(), 0u);
  EXPECT_TRUE(model_->pendingCommands().empty());
  int changes = 0;
  model_->changed().connect([&] { ++changes; });
  coordinator_->readinessMessageReceived(
      Json{{"ticket", ticket}, {"origin", "https://orlith.example"}}.dump());
  coordinator_->navigationFinished(navigation_);
  coordinator_->navigationFailed(navigation_, engineError("refused"));
  coordinator_->navigationStarted(++navigation_);
  coordinator_->webProcessTerminated();
  coordinator_->titleChanged("Late");
  channel(R"({"channel": "orlith:signed-out"})");
  channel(R"({"channel": "orlith:print"})");
  advance(100s);
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(ends_, 0);
  EXPECT_EQ(prints_, 0);
  EXPECT_TRUE(events_.empty());
  EXPECT_FALSE(model_->onRenderingActivityChanged);
}

TEST_F(CoordinatorTest, ARebuiltViewOpensWhereTheDismantledOneWas) {
  startAndCommit("https://orlith.example/app/x?draft=1#top");
  coordinator_->dismantle();
  EXPECT_EQ(model_->initialURL().absoluteString(), "https://orlith.example/app/x");

  // The tab's next web view loads the remembered page, not the first one.
  auto rebuilt = std::make_shared<FakeWebEngineView>();
  auto next = make(session(1));
  next->attach(rebuilt, content_);
  run();
  EXPECT_EQ(rebuilt->loads, (std::vector<std::string>{"https://orlith.example/app/x"}));

  // Addresses a tab may not be restored to leave the remembered one as it was.
  for (const char* refused :
       {"https://orlith.example/app/../logout", "https://orlith.example/app%2F..%2Flogout",
        "https://orlith.example/login", "https://elsewhere.example/app/y", "about:blank"}) {
    SCOPED_TRACE(refused);
    rebuilt->uri = refused;
    next->dismantle();
    EXPECT_EQ(model_->initialURL().absoluteString(), "https://orlith.example/app/x");
    next = make(session(1));
    next->attach(rebuilt, content_);
    run();
  }
  rebuilt->uri.reset();
  next->dismantle();
  EXPECT_EQ(model_->initialURL().absoluteString(), "https://orlith.example/app/x");
}

// A tab behind others keeps no timer: its surface is checked only while it renders, and the time
// it spent hidden never counts towards giving up on it.
TEST_F(CoordinatorTest, AHiddenTabsSurfaceIsCheckedOnlyWhileItRenders) {
  model_->setActiveForRendering(false);
  startAndCommit();
  coordinator_->navigationFinished(navigation_);
  EXPECT_EQ(time_.activeTimerCount(), 0u);
  advance(60s);
  EXPECT_FALSE(model_->didFailToLoad());

  model_->setActiveForRendering(true);
  EXPECT_EQ(time_.activeTimerCount(), 1u);
  advance(4s);
  model_->setActiveForRendering(false);
  EXPECT_EQ(time_.activeTimerCount(), 0u);
  advance(60s);
  model_->setActiveForRendering(true);
  advance(3500ms);
  EXPECT_FALSE(model_->didFailToLoad()) << "7.5 s of rendering in all";
  advance(1s);
  EXPECT_TRUE(model_->didFailToLoad());
  EXPECT_EQ(model_->readinessError(), std::optional<std::string>(std::string(
                                          WorkspaceSurfaceCoordinator::kUnstyledSurfaceMessage)));
  EXPECT_EQ(time_.activeTimerCount(), 0u);
}

TEST_F(CoordinatorTest, VisibilityProbeTellsThePageOncePerChange) {
  view_->evaluations.clear();
  coordinator_->setHostVisible(false);
  coordinator_->setHostVisible(false);
  model_->setActiveForRendering(false);
  coordinator_->setHostVisible(true);
  model_->setActiveForRendering(true);
  run();
  std::vector<std::string> probes;
  for (const auto& evaluation : view_->evaluations) {
    EXPECT_EQ(evaluation.world, ScriptWorld::readiness);
    probes.push_back(evaluation.source);
  }
  EXPECT_EQ(probes, (std::vector<std::string>{WebSurfaceScripts::surfaceActiveScript(false),
                                              WebSurfaceScripts::surfaceActiveScript(true)}));
}

struct TitleCase {
  std::optional<std::string> raw;
  std::string expected;
};

TEST(PageTitleTest, TitlesAreTrimmedAndGenericOnesNamedAfterTheProduct) {
  const TitleCase cases[] = {
      {"  Board \n", "Board"},
      {"Board - Orlith", "Board"},
      {"Board - ORLITH", "Board"},
      {"Board - Orlith - Orlith", "Board - Orlith"},
      {"orlith", "Orlith"},
      {"Orlith - Workspace", "Orlith"},
      {"All-in-one workspace", "Orlith"},
      {" - Orlith", "- Orlith"},
      {"", "Orlith"},
      {std::nullopt, "Orlith"},
      {"Orlithian", "Orlithian"},
  };
  for (const auto& [raw, expected] : cases)
    EXPECT_EQ(cleanPageTitle(raw), expected) << raw.value_or("<none>");
}

TEST(LoadErrorTest, EngineErrorsMapToTheOfflineSetAndKeepOthers) {
  struct Case {
    EngineErrorKind kind;
    LoadError expected;
    bool offline;
  };
  const Case cases[] = {
      {EngineErrorKind::cancelled, {"NSURLErrorDomain", -999}, false},
      {EngineErrorKind::interruptedByPolicy, {"WebKitErrorDomain", 102}, false},
      {EngineErrorKind::connectionRefused, {"NSURLErrorDomain", -1004}, true},
      {EngineErrorKind::hostNotFound, {"NSURLErrorDomain", -1003}, true},
      {EngineErrorKind::timedOut, {"NSURLErrorDomain", -1001}, true},
      {EngineErrorKind::unreachable, {"NSURLErrorDomain", -1009}, true},
      {EngineErrorKind::connectionLost, {"NSURLErrorDomain", -1005}, true},
      {EngineErrorKind::dnsTemporaryFailure, {"NSURLErrorDomain", -1006}, true},
      {EngineErrorKind::tls, {"NSURLErrorDomain", -1202}, false},
      {EngineErrorKind::other, {"g-io-error-quark", 15}, false},
  };
  for (const auto& [kind, expected, isOffline] : cases) {
    LoadError error = LoadError::fromEngine({kind, "g-io-error-quark", 15});
    EXPECT_EQ(error, expected) << expected.code;
    EXPECT_EQ(error.isOffline(), isOffline) << expected.code;
  }
  EXPECT_FALSE((LoadError{"WebKitErrorDomain", -1004}.isOffline())) << "the set is NSURL's only";
}

}  // namespace
}  // namespace orlith
