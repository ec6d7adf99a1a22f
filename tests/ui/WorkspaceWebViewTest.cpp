// One workspace tab on the real engine against the stand-in's pages: session cookie, readiness,
// the bridge's accepted channels, navigation policy, renderer crash, network loss, downloads.
#include <gmock/gmock.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "RealInput.h"
#include "UiHarness.h"
#include "base/Clock.h"
#include "platform/glib/GlibScheduler.h"
#include "session/OrlithWire.h"
#include "session/SessionCookieCoordinator.h"
#include "session/StoredCookie.h"
#include "session/gtk/WebKitCookieStore.h"
#include "support/FakePreferences.h"
#include "support/StandinProcess.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/ActiveDownloads.h"
#include "workspace/surface/DownloadDestination.h"
#include "workspace/surface/gtk/WorkspaceWebView.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;

class LightDesktop final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return false; }
  void setAppAppearance(AppAppearance appearance) override { appearance_ = appearance; }
  AppAppearance appAppearance() const override { return appearance_; }

 private:
  AppAppearance appearance_ = AppAppearance::system;
};

struct Event {
  std::string name;
  DiagnosticsDetail detail;
};

// What the tab reaches outside itself, recorded.
struct Recorder {
  SystemClock clock;
  GlibScheduler scheduler;
  RandomUuidSource uuids;
  FakePreferences preferences;
  LightDesktop desktop;
  AppearanceSettings appearance{preferences, desktop};
  std::vector<Event> events;
  std::vector<std::string> opened;
  int prints = 0;

  SurfaceServices services() {
    return SurfaceServices{clock,
                           scheduler,
                           uuids,
                           preferences,
                           appearance,
                           [this](std::string_view name, const DiagnosticsDetail& detail) {
                             events.push_back({std::string(name), detail});
                           },
                           [this](const std::string& uri) { opened.push_back(uri); },
                           [this] { ++prints; },
                           {}};
  }
  int count(std::string_view name) const {
    return static_cast<int>(std::count_if(events.begin(), events.end(),
                                          [&](const Event& event) { return event.name == name; }));
  }
  const Event* last(std::string_view name) const {
    for (auto event = events.rbegin(); event != events.rend(); ++event) {
      if (event->name == name)
        return &*event;
    }
    return nullptr;
  }
};

// A window showing one tab.
class Tab {
 public:
  Tab(const std::string& initialUrl, const OrlithEnvironment& environment, Scheduler& scheduler,
      SurfaceServices services, SurfaceSession session, WorkspaceWebViewOptions options)
      : scheduler_(scheduler),
        model_(WorkspaceModel::create(environment, Url::parse(initialUrl), scheduler_)),
        window_(GTK_WINDOW(gtk_window_new())) {
    options.appVersion = "9.8.7";
    view_ = std::make_unique<WorkspaceWebView>(WorkspaceNetworkSession::shared(), model_,
                                               std::move(services), std::move(session),
                                               std::move(options));
    gtk_window_set_default_size(window_, 900, 700);
    gtk_window_set_child(window_, view_->widget());
    testing::presentAndWait(window_);
  }
  ~Tab() {
    view_.reset();
    gtk_window_destroy(window_);
  }

  WorkspaceModel& model() { return *model_; }
  WorkspaceWebView& view() { return *view_; }
  WebKitWebView* webView() { return view_->webView(); }
  std::string uri() {
    const char* uri = webkit_web_view_get_uri(webView());
    return uri ? uri : "";
  }

  // The page world's value of `script` as JSON, or null.
  nlohmann::json evaluate(const std::string& script) {
    return testing::evaluate(webView(), script);
  }
  bool waitFor(const std::string& script, std::chrono::milliseconds timeout = 15s) {
    return testing::waitFor(webView(), script, timeout);
  }
  void click(const std::string& id) {
    evaluate("document.getElementById('" + id + "').click(); true");
  }
  // A person's click on the element, through the X server.
  void realClick(const std::string& id) {
    auto centre = evaluate("(() => { const r = document.getElementById('" + id +
                           "').getBoundingClientRect(); return [r.left + r.width / 2, "
                           "r.top + r.height / 2]; })()");
    testing::clickAt(GTK_WIDGET(webView()), centre[0].get<double>(), centre[1].get<double>());
  }

 private:
  Scheduler& scheduler_;
  std::shared_ptr<WorkspaceModel> model_;
  GtkWindow* window_;
  std::unique_ptr<WorkspaceWebView> view_;
};

class WorkspaceWebViewTest : public ::testing::Test {
 protected:
  WorkspaceWebViewTest()
      : standin_(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert"),
        environment_(*Url::parse(standin_.origin())) {}

  std::unique_ptr<Tab> open(const std::string& path, WorkspaceWebViewOptions options = {},
                            SurfaceSession session = {},
                            std::optional<SurfaceServices> services = std::nullopt) {
    return openAt(standin_.origin() + path, environment_, std::move(options), std::move(session),
                  std::move(services));
  }
  std::unique_ptr<Tab> openAt(const std::string& url, const OrlithEnvironment& environment,
                              WorkspaceWebViewOptions options = {}, SurfaceSession session = {},
                              std::optional<SurfaceServices> services = std::nullopt) {
    if (options.downloadsFolder.empty())
      options.downloadsFolder = downloads_.path();
    return std::make_unique<Tab>(url, environment, recorder_.scheduler,
                                 services ? std::move(*services) : recorder_.services(),
                                 std::move(session), std::move(options));
  }
  bool waitReady(Tab& tab) {
    return testing::spinUntil([&] { return tab.model().isReady(); }, 20s);
  }

  testing::StandinProcess standin_;
  OrlithEnvironment environment_;
  Recorder recorder_;
  TemporaryDirectory downloads_;
};

TEST_F(WorkspaceWebViewTest, LoadsWithTheSessionCookieIsReadyAndTalksOnlyThroughTheBridge) {
  auto store = std::make_shared<WebKitCookieStore>(WorkspaceNetworkSession::shared().get());
  auto cookies = std::make_shared<SessionCookieCoordinator>(ServiceHosts::fromBuild(),
                                                            std::make_shared<SystemClock>());
  StoredCookie stored{"orlith_session", "engine-v1", "127.0.0.1", "/", true, std::nullopt};
  HttpCookie cookie = *stored.httpCookie();
  SurfaceServices services = recorder_.services();
  services.installSessionCookie = [cookies, store, cookie](std::stop_token stop) {
    return cookies->installSessionCookie(cookie, wire::kSessionCookieNames, store, stop);
  };
  WorkspaceWebViewOptions options;
  options.mockCaptureDevices = true;
  // The person allowed the microphone before.
  recorder_.preferences.setBoolean("orlith.microphoneAllowed", true);
  auto tab = open("/app/w", std::move(options), {}, std::move(services));
  // Queued before the page is ready; delivered in order once it is.
  ASSERT_TRUE(tab->model().pendingCommands().enqueue(Json{{"type", "new-note"}}));
  ASSERT_TRUE(
      tab->model().pendingCommands().enqueue(Json{{"type", "navigate"}, {"href", "/app/board/1"}}));
  tab->model().startCommandDeliveryIfNeeded();
  ASSERT_TRUE(waitReady(*tab));
  EXPECT_EQ(recorder_.count("app_ready"), 1);
  EXPECT_EQ(tab->model().pageTitle(), "Board");
  auto request = tab->evaluate("window.__request");
  EXPECT_THAT(request["userAgent"].get<std::string>(), HasSubstr("OrlithMac/9.8.7"));
  EXPECT_THAT(request["cookie"].get<std::string>(), HasSubstr("orlith_session=engine-v1"))
      << "the first request already carries the session cookie";

  EXPECT_EQ(tab->evaluate("typeof window.webkit.messageHandlers.orlith.postMessage"), "function");
  EXPECT_EQ(tab->evaluate("typeof window.webkit.messageHandlers.orlithSurface"), "undefined");
  EXPECT_EQ(tab->evaluate("[window.__orlithDesktop.platform, "
                          "Object.isFrozen(window.__orlithDesktop)]"),
            nlohmann::json::parse(R"(["macos", true])"));

  ASSERT_TRUE(tab->waitFor("window.__frameReport !== undefined"));
  EXPECT_EQ(
      tab->evaluate("window.__frameReport"),
      nlohmann::json::parse(R"({"hasWebkit": false, "handler": "absent", "parent": "blocked"})"));
  tab->evaluate(
      "window.__orlithDesktop.post('orlith:open-external', "
      "{ url: 'https://example.invalid/top' }); true");
  ASSERT_TRUE(testing::spinUntil([&] { return !recorder_.opened.empty(); }, 5s));
  EXPECT_EQ(recorder_.opened, std::vector<std::string>{"https://example.invalid/top"})
      << "the foreign frame's three attempts reached nothing";

  tab->evaluate(R"(window.__media = {};
    for (const kind of ['audio', 'video']) {
      navigator.mediaDevices.getUserMedia({ [kind]: true })
        .then(() => { window.__media[kind] = 'granted'; },
              () => { window.__media[kind] = 'refused'; });
    }
    true)");
  ASSERT_TRUE(tab->waitFor("Object.keys(window.__media).length === 2"));
  EXPECT_EQ(tab->evaluate("window.__media"),
            nlohmann::json::parse(R"({"audio": "granted", "video": "refused"})"));

  ASSERT_TRUE(tab->waitFor("window.__got.length === 2"));
  EXPECT_EQ(tab->evaluate("window.__got"), nlohmann::json::parse(R"([{"type": "new-note"},
                                      {"type": "navigate", "href": "/app/board/1"}])"));
  EXPECT_TRUE(tab->model().pendingCommands().empty());
}

TEST_F(WorkspaceWebViewTest, StoredPageThemeSeedsWorkspacePagesOnlyAndTheAppAdoptsIt) {
  auto tab = open("/app/w");
  ASSERT_TRUE(waitReady(*tab));
  EXPECT_EQ(tab->evaluate("[document.documentElement.dataset.appTheme, "
                          "localStorage.getItem('orlith:app-theme')]"),
            nlohmann::json::parse(R"(["light", "light"])"));
  tab->evaluate("localStorage.setItem('orlith:app-theme', 'dark'); true");
  webkit_web_view_reload(tab->webView());
  ASSERT_TRUE(testing::spinUntil(
      [&] { return recorder_.desktop.appAppearance() == AppAppearance::dark; }, 20s))
      << "the stored dark beats the filled-in light, the page reports it and the app adopts it";
  EXPECT_EQ(tab->evaluate("document.documentElement.classList.contains('dark')"), true);

  webkit_web_view_load_uri(tab->webView(), (standin_.origin() + "/share/x").c_str());
  ASSERT_TRUE(
      tab->waitFor("location.pathname === '/share/x' && document.readyState === 'complete'"));
  EXPECT_EQ(tab->evaluate("[document.documentElement.hasAttribute('data-app-theme'), "
                          "typeof window.__orlithDesktop]"),
            nlohmann::json::parse(R"([false, "object"])"))
      << "shared pages keep their own look but still have the bridge";
  // The origin's storage outlives this test in the shared network session.
  tab->evaluate("localStorage.removeItem('orlith:app-theme'); true");
}

WorkspaceWebViewOptions shortTimings() {
  WorkspaceWebViewOptions options;
  options.timings.loadDeadline = 1500ms;
  options.timings.surfaceCheckInterval = 50ms;
  options.timings.renderableSecondsLimit = 1.0;
  return options;
}

TEST_F(WorkspaceWebViewTest, PageThatNeverPaintsItsStyledSurfaceFailsWithTheRetryText) {
  auto tab = open("/app/bare", shortTimings());
  ASSERT_TRUE(testing::spinUntil([&] { return tab->model().readinessError().has_value(); }, 15s));
  EXPECT_EQ(*tab->model().readinessError(),
            "The page did not finish preparing its display. Try again.");
  EXPECT_TRUE(tab->model().didFailToLoad());
  EXPECT_FALSE(tab->model().isOffline());
  EXPECT_FALSE(tab->model().isReady());
  ASSERT_NE(recorder_.last("app_load_failed"), nullptr);
  EXPECT_EQ(recorder_.last("app_load_failed")->detail,
            (DiagnosticsDetail{{"reason", "unstyled_surface_timeout"}}));
  EXPECT_EQ(recorder_.count("app_ready"), 0);
}

TEST_F(WorkspaceWebViewTest, LinksLeaveTheAppOutsideAndTheSignInPageOr401EndTheSessionOnce) {
  int firstEnds = 0;
  int secondEnds = 0;
  SurfaceSession first;
  first.revision = 1;
  first.onSessionEnded = [&] { ++firstEnds; };
  auto tab = open("/app/w", {}, first);
  ASSERT_TRUE(waitReady(*tab));

  tab->click("mail");
  tab->evaluate("window.open('https://example.invalid/popup'); true");
  testing::spinUntil([&] { return false; }, 1000ms);
  EXPECT_TRUE(recorder_.opened.empty()) << "the page's own click and window open nothing";
  tab->realClick("external");
  ASSERT_TRUE(testing::spinUntil([&] { return recorder_.opened.size() == 1; }, 10s));
  tab->realClick("mail");
  ASSERT_TRUE(testing::spinUntil([&] { return recorder_.opened.size() == 2; }, 10s));
  EXPECT_EQ(recorder_.opened,
            (std::vector<std::string>{"https://example.invalid/x", "mailto:a@b.c"}));
  EXPECT_EQ(tab->uri(), standin_.origin() + "/app/w") << "the page stays";

  tab->realClick("blank");
  ASSERT_TRUE(testing::spinUntil([&] { return tab->uri() == standin_.origin() + "/app/y"; }, 10s))
      << "an in-app link to a new window opens in this tab";
  ASSERT_TRUE(waitReady(*tab));
  webkit_web_view_load_uri(tab->webView(), (standin_.origin() + "/app/w").c_str());
  ASSERT_TRUE(testing::spinUntil([&] { return tab->uri() == standin_.origin() + "/app/w"; }, 10s));
  EXPECT_EQ(recorder_.opened.size(), 2u);

  auto loadAndSettle = [&](const std::string& path) {
    webkit_web_view_load_uri(tab->webView(), (standin_.origin() + path).c_str());
    testing::spinUntil([&] { return false; }, 1500ms);
  };
  loadAndSettle("/app/r");
  EXPECT_EQ(firstEnds, 1);
  ASSERT_NE(recorder_.last("session_expired"), nullptr);
  EXPECT_EQ(recorder_.last("session_expired")->detail,
            (DiagnosticsDetail{{"reason", "auth_redirect"}}));
  loadAndSettle("/app/r");
  EXPECT_EQ(firstEnds, 1) << "a second redirect only cancels";

  SurfaceSession second;
  second.revision = 2;
  second.onSessionEnded = [&] { ++secondEnds; };
  tab->view().update(second);
  loadAndSettle("/app/expired");
  EXPECT_EQ(firstEnds, 1);
  EXPECT_EQ(secondEnds, 1) << "a new revision signals its own end, to its own callback";
  EXPECT_EQ(recorder_.last("session_expired")->detail, (DiagnosticsDetail{{"reason", "http_401"}}));

  gulong authenticate = g_signal_connect(
      tab->webView(), "authenticate",
      G_CALLBACK(+[](WebKitWebView*, WebKitAuthenticationRequest* request, gpointer) {
        webkit_authentication_request_cancel(request);
        return TRUE;
      }),
      nullptr);
  loadAndSettle("/app/basic");
  loadAndSettle("/api/x");
  g_signal_handler_disconnect(tab->webView(), authenticate);
  EXPECT_EQ(firstEnds + secondEnds, 2) << "a 401 with a challenge, or outside /app, goes on";
  EXPECT_EQ(recorder_.count("session_expired"), 2);
}

TEST_F(WorkspaceWebViewTest, KilledWebProcessIsReloadedAndReadyAgain) {
  auto tab = open("/app/w");
  ASSERT_TRUE(waitReady(*tab));
  webkit_web_view_terminate_web_process(tab->webView());
  ASSERT_TRUE(testing::spinUntil([&] { return recorder_.count("app_ready") == 2; }, 20s));
  EXPECT_TRUE(tab->model().isReady());
  EXPECT_FALSE(tab->model().didFailToLoad());
  EXPECT_EQ(recorder_.count("app_load_failed"), 0);
}

TEST_F(WorkspaceWebViewTest,
       UnreachableOriginAndHangingPageShowOfflineAndTheNetworksReturnReloads) {
  int closedPort = 0;
  {
    // A port that was free a moment ago answers nothing.
    GObjectPtr<GSocketListener> listener(g_socket_listener_new());
    closedPort = g_socket_listener_add_any_inet_port(listener.get(), nullptr, nullptr);
  }
  const std::string closedOrigin = "https://127.0.0.1:" + std::to_string(closedPort);
  OrlithEnvironment closed(*Url::parse(closedOrigin));
  auto unreachable = openAt(closedOrigin + "/app", closed, shortTimings());
  ASSERT_TRUE(testing::spinUntil([&] { return unreachable->model().didFailToLoad(); }, 15s));
  EXPECT_TRUE(unreachable->model().isOffline());
  ASSERT_EQ(recorder_.count("app_offline"), 1);
  EXPECT_EQ(recorder_.last("app_offline")->detail,
            (DiagnosticsDetail{{"domain", "NSURLErrorDomain"}, {"code", "-1004"}}));

  unreachable->view().coordinator().networkChanged(false);
  unreachable->view().coordinator().networkChanged(true);
  EXPECT_EQ(recorder_.count("app_online"), 1);
  ASSERT_TRUE(testing::spinUntil([&] { return recorder_.count("app_offline") == 2; }, 15s))
      << "the failed tab was loaded again";
  unreachable.reset();

  auto hanging = open("/app/slow", shortTimings());
  ASSERT_TRUE(testing::spinUntil([&] { return recorder_.count("app_offline") == 3; }, 15s));
  testing::spinUntil([&] { return false; }, 700ms);
  EXPECT_EQ(recorder_.last("app_offline")->detail,
            (DiagnosticsDetail{{"domain", "NSURLErrorDomain"}, {"code", "-1001"}}));
  EXPECT_EQ(recorder_.count("app_offline"), 3);
  EXPECT_EQ(recorder_.count("app_load_failed"), 0) << "the deadline's own stop is no failure";
  EXPECT_TRUE(hanging->model().isOffline());
  EXPECT_TRUE(hanging->model().didFailToLoad());
}

TEST_F(WorkspaceWebViewTest, EveryWorkspaceAddressOfTheStandinIsAReadyPageInEitherTheme) {
  for (const char* path : {"/app", "/app/anything/at/all?q=1", "/app/slow"}) {
    SCOPED_TRACE(path);
    auto tab = open(path);
    ASSERT_TRUE(waitReady(*tab));
    EXPECT_EQ(tab->evaluate("window.__orlithDesktopCommandReady === true && "
                            "Array.isArray(window.__got)"),
              true);
    // The theme class the app seeds picks the page's colours.
    const std::string background =
        "getComputedStyle(document.documentElement).getPropertyValue('--background').trim()";
    EXPECT_EQ(tab->evaluate("document.documentElement.classList.remove('dark'); " + background),
              "#fcfbf8");
    EXPECT_EQ(tab->evaluate("document.documentElement.classList.add('dark'); " + background),
              "#121212");
    if (std::string(path) == "/app")
      testing::saveSnapshot(tab->webView(), "standin-app-dark");
  }
}

TEST_F(WorkspaceWebViewTest, HistoryZoomAndFocusThroughTheTabsView) {
  auto tab = open("/app/w");
  ASSERT_TRUE(waitReady(*tab));
  std::shared_ptr<WebEngineView> view = tab->model().webView();
  ASSERT_TRUE(view);
  GtkRoot* root = gtk_widget_get_root(tab->view().widget());
  ASSERT_TRUE(GTK_IS_WINDOW(root));
  ASSERT_TRUE(testing::activate(GTK_WINDOW(root)));
  EXPECT_TRUE(view->isShownInActiveWindow());

  view->load(*Url::parse(standin_.origin() + "/app/board/7"));
  ASSERT_TRUE(testing::spinUntil([&] { return view->canGoBack(); }, 10s));
  ASSERT_TRUE(waitReady(*tab)) << "any workspace address is a ready page";
  view->goBack();
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        return tab->uri() == standin_.origin() + "/app/w" && view->canGoForward() &&
               !tab->model().isLoading();
      },
      10s));
  view->goForward();
  ASSERT_TRUE(
      testing::spinUntil([&] { return tab->uri() == standin_.origin() + "/app/board/7"; }, 10s));

  view->setZoomLevel(1.5);
  EXPECT_DOUBLE_EQ(view->zoomLevel(), 1.5);
  EXPECT_DOUBLE_EQ(tab->view().zoomLevel(), 1.5);

  gtk_window_set_focus(GTK_WINDOW(root), nullptr);
  view->focus();
  EXPECT_EQ(gtk_window_get_focus(GTK_WINDOW(root)), GTK_WIDGET(tab->webView()))
      << "the web view itself takes the focus, not its box";

  ASSERT_TRUE(testing::activate(GTK_WINDOW(root)));
  gtk_widget_set_visible(tab->view().widget(), false);
  EXPECT_FALSE(view->isShownInActiveWindow()) << "a hidden ancestor hides it";
  gtk_widget_set_visible(tab->view().widget(), true);
  EXPECT_TRUE(view->isShownInActiveWindow());
  GtkWindow* other = GTK_WINDOW(gtk_window_new());
  testing::presentAndWait(other);
  ASSERT_TRUE(testing::activate(other));
  EXPECT_FALSE(view->isShownInActiveWindow()) << "its window is no longer the active one";
  gtk_window_destroy(other);
}

std::vector<std::string> folderNames(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST_F(WorkspaceWebViewTest, DownloadsLandUnderSafeNamesAndStoppedOnesLeaveNothing) {
  auto tab = open("/app/w");
  ASSERT_TRUE(waitReady(*tab));
  tab->click("file");
  const auto landed = downloads_.path() / "evil name.bin";
  ASSERT_TRUE(testing::spinUntil([&] { return std::filesystem::exists(landed); }, 15s))
      << ::testing::PrintToString(folderNames(downloads_.path()))
      << ::testing::PrintToString(recorder_.opened);
  ASSERT_TRUE(testing::spinUntil([&] { return ActiveDownloads::shared().isEmpty(); }, 5s));
  EXPECT_EQ(std::filesystem::file_size(landed), 4096u);
  EXPECT_EQ(folderNames(downloads_.path()), std::vector<std::string>{"evil name.bin"});
  EXPECT_TRUE(tab->model().isReady()) << "a navigation turned into a download is no failure";
  EXPECT_FALSE(tab->model().didFailToLoad());

  std::vector<WebKitDownload*> started;
  gulong watch = g_signal_connect(
      WorkspaceNetworkSession::shared().get(), "download-started",
      G_CALLBACK(+[](WebKitNetworkSession*, WebKitDownload* download, gpointer data) {
        static_cast<std::vector<WebKitDownload*>*>(data)->push_back(download);
      }),
      &started);
  auto isStaging = [&] {
    auto names = folderNames(downloads_.path());
    return std::any_of(names.begin(), names.end(), [](const std::string& name) {
      return name.starts_with(DownloadDestination::kStagingPrefix);
    });
  };
  tab->click("slow-file");
  ASSERT_TRUE(testing::spinUntil([&] { return isStaging() && started.size() == 1; }, 15s));
  EXPECT_EQ(ActiveDownloads::shared().count(), 1u);
  webkit_download_cancel(started.back());
  ASSERT_TRUE(testing::spinUntil([&] { return ActiveDownloads::shared().isEmpty(); }, 10s));
  EXPECT_EQ(folderNames(downloads_.path()), std::vector<std::string>{"evil name.bin"})
      << "a cancelled download leaves nothing";

  tab->click("slow-file");
  ASSERT_TRUE(testing::spinUntil([&] { return isStaging(); }, 15s));
  g_signal_handler_disconnect(WorkspaceNetworkSession::shared().get(), watch);
  tab->view().dismantle();
  ASSERT_TRUE(testing::spinUntil([&] { return ActiveDownloads::shared().isEmpty(); }, 10s));
  EXPECT_EQ(folderNames(downloads_.path()), std::vector<std::string>{"evil name.bin"})
      << "tearing the tab down mid-download removes its entry and staging folder";
}

}  // namespace
}  // namespace orlith
