// The session cookie store, watcher and coordinator on a real WebKitGTK cookie manager: what is
// installed reaches the local HTTPS server from a web view, and a change made there is noticed.
#include <gmock/gmock.h>
#include <gtk/gtk.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "UiHarness.h"
#include "base/StartedTask.h"
#include "session/OrlithWire.h"
#include "session/SessionCookieCoordinator.h"
#include "session/SessionCookiePolicy.h"
#include "session/SessionCookieWatcher.h"
#include "session/gtk/WebKitCookieStore.h"
#include "support/StandinProcess.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr std::span<const std::string_view> kNames(wire::kSessionCookieNames);

template <class T>
T awaitOnLoop(Task<T> task) {
  StartedTask<T> started(std::move(task));
  if (!testing::spinUntil([&] { return started.isDone(); }, 30s))
    throw std::runtime_error("the engine did not answer");
  return started.takeResult();
}

HttpCookie secureCookie(const char* name, const char* value, const char* domain) {
  HttpCookie cookie;
  cookie.name = name;
  cookie.value = value;
  cookie.domain = domain;
  cookie.path = "/";
  cookie.secure = true;
  cookie.httpOnly = true;
  return cookie;
}

const HttpCookie* find(const std::vector<HttpCookie>& cookies, std::string_view name) {
  auto found = std::find_if(cookies.begin(), cookies.end(),
                            [&](const HttpCookie& cookie) { return cookie.name == name; });
  return found == cookies.end() ? nullptr : &*found;
}

// The jar goes only into a runtime folder that is this user's alone, as the runtime folder must
// be; anywhere else the cookies stay in memory.
TEST(SessionCookieEngine, CookieJarGoesOnlyIntoAPrivateRuntimeFolder) {
  TemporaryDirectory scratch;
  const auto root = scratch.path();
  namespace fs = std::filesystem;
  auto folder = [&](const char* name, fs::perms mode) {
    fs::create_directory(root / name);
    fs::permissions(root / name, mode, fs::perm_options::replace);
    return root / name;
  };
  const auto privateFolder = folder("private", fs::perms::owner_all);
  const auto shared =
      folder("shared", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                           fs::perms::others_read | fs::perms::others_exec);
  std::vector<fs::path> refused = {shared,           root / "link",       root / "file",
                                   root / "missing", fs::path("private"), fs::path()};
  // Another user's folder, where this user may give one away (as root).
  const auto foreign = folder("foreign", fs::perms::owner_all);
  if (chown(foreign.c_str(), geteuid() + 1, static_cast<gid_t>(-1)) == 0)
    refused.push_back(foreign);
  fs::create_directory_symlink(privateFolder, root / "link");
  std::ofstream(root / "file") << "";
  fs::permissions(root / "file", fs::perms::owner_all, fs::perm_options::replace);

  EXPECT_EQ(WorkspaceNetworkSession::cookieJarPath(privateFolder),
            privateFolder / "orlith" / "web" / "cookies.sqlite");
  for (const fs::path& place : refused) {
    EXPECT_EQ(WorkspaceNetworkSession::cookieJarPath(place), std::nullopt) << place;
  }
}

TEST(SessionCookieEngine, StoreAddsDeletesAndClearsOtherDataOnAnEphemeralSession) {
  auto session = adoptObject(webkit_network_session_new_ephemeral());
  auto store = std::make_shared<WebKitCookieStore>(session.get());
  std::vector<std::vector<HttpCookie>> reports;
  SessionCookieWatcher watcher(store, [&](const auto& cookies) { reports.push_back(cookies); });

  HttpCookie cookie = secureCookie("orlith_session", "v1", "orlith.example");
  cookie.expires = std::chrono::system_clock::time_point(std::chrono::seconds(4102444800));
  awaitOnLoop(store->add(cookie));
  ASSERT_TRUE(testing::spinUntil(
      [&] { return !reports.empty() && find(reports.back(), "orlith_session"); }, 30s))
      << "adding fires the change signal and the watcher reads the cookie";
  EXPECT_EQ(*find(reports.back(), "orlith_session"), cookie);

  awaitOnLoop(store->clearNonCookieData());
  EXPECT_TRUE(find(awaitOnLoop(store->allCookies()), "orlith_session"));

  // An engine that does not answer in time fails the read, which is no empty store; its late
  // answer is dropped.
  auto impatient = std::make_shared<WebKitCookieStore>(session.get(), 0ms);
  EXPECT_THROW(awaitOnLoop(impatient->allCookies()), WebCookieStoreTimeout);
  testing::spinUntil([] { return false; }, 200ms);

  awaitOnLoop(store->remove(cookie));
  ASSERT_TRUE(testing::spinUntil([&] { return !find(reports.back(), "orlith_session"); }, 30s));
  EXPECT_TRUE(awaitOnLoop(store->allCookies()).empty());
}

class WorkspaceView {
 public:
  explicit WorkspaceView(WebKitNetworkSession* session)
      : window_(GTK_WINDOW(gtk_window_new())),
        view_(WEBKIT_WEB_VIEW(
            g_object_new(WEBKIT_TYPE_WEB_VIEW, "network-session", session, nullptr))) {
    gtk_window_set_default_size(window_, 640, 480);
    gtk_window_set_child(window_, GTK_WIDGET(view_));
    g_signal_connect(view_, "load-changed", G_CALLBACK(&WorkspaceView::loadChanged), this);
    gtk_window_present(window_);
  }
  ~WorkspaceView() { gtk_window_destroy(window_); }
  WorkspaceView(const WorkspaceView&) = delete;
  WorkspaceView& operator=(const WorkspaceView&) = delete;

  bool load(const std::string& uri) {
    loaded_ = false;
    webkit_web_view_load_uri(view_, uri.c_str());
    return testing::spinUntil([&] { return loaded_; }, 60s);
  }

  // Runs an async function body in the page and gives its result as text.
  std::string run(const std::string& body) {
    struct Outcome {
      bool finished = false;
      std::string text;
    } outcome;
    webkit_web_view_call_async_javascript_function(
        view_, body.c_str(), -1, nullptr, nullptr, nullptr, nullptr,
        [](GObject* source, GAsyncResult* result, gpointer data) {
          auto* out = static_cast<Outcome*>(data);
          GError* rawError = nullptr;
          auto value = adoptObject(webkit_web_view_call_async_javascript_function_finish(
              WEBKIT_WEB_VIEW(source), result, &rawError));
          GErrorPtr error(rawError);
          if (value) {
            GCharPtr text(jsc_value_to_string(value.get()));
            out->text = text.get();
          } else {
            out->text = std::string("error: ") + (error ? error->message : "none");
          }
          out->finished = true;
        },
        &outcome);
    testing::spinUntil([&] { return outcome.finished; }, 30s);
    return outcome.text;
  }

 private:
  static void loadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
    if (event == WEBKIT_LOAD_FINISHED)
      static_cast<WorkspaceView*>(self)->loaded_ = true;
  }

  GtkWindow* window_;
  WebKitWebView* view_;
  bool loaded_ = false;
};

// The Cookie headers the stand-in received for one path, oldest first.
std::vector<std::string> cookieHeadersFor(const nlohmann::json& requests, const std::string& path) {
  std::vector<std::string> headers;
  for (const auto& request : requests) {
    if (request.at("path") != path)
      continue;
    std::string cookie;
    for (const auto& header : request.at("headers")) {
      if (g_ascii_strcasecmp(header.at(0).get<std::string>().c_str(), "cookie") == 0)
        cookie = header.at(1).get<std::string>();
    }
    headers.push_back(cookie);
  }
  return headers;
}

TEST(SessionCookieEngine, InstalledSecureCookieReachesTheServerAndItsRenewalIsNoticed) {
  testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert");
  TemporaryDirectory folder;
  WorkspaceNetworkSession::Configuration configuration;
  configuration.dataDirectory = folder.path() / "data";
  configuration.cacheDirectory = folder.path() / "cache";
  configuration.pinnedCertificate = ORLITH_BINARY_DIR "/devcert/server.pem";
  configuration.pinnedHosts = {"127.0.0.1"};
  WorkspaceNetworkSession session(configuration);
  auto store = std::make_shared<WebKitCookieStore>(session.get());
  const ServiceHosts hosts{standin.origin(), "orlith.example", "www.orlith.example"};
  SessionCookieCoordinator coordinator(hosts, std::make_shared<SystemClock>());

  awaitOnLoop(store->add(secureCookie("orlith_session", "stale", "127.0.0.1")));
  HttpCookie theme = secureCookie("orlith_theme", "dark", "127.0.0.1");
  theme.httpOnly = false;
  awaitOnLoop(store->add(theme));

  HttpCookie fresh = secureCookie("orlith_session", "fresh", "127.0.0.1");
  fresh.expires = std::chrono::system_clock::now() + 1h;
  awaitOnLoop(coordinator.installSessionCookie(fresh, kNames, store));
  const auto installed = awaitOnLoop(store->allCookies());
  ASSERT_TRUE(find(installed, "orlith_session"));
  EXPECT_EQ(find(installed, "orlith_session")->value, "fresh");
  EXPECT_TRUE(find(installed, "orlith_theme")) << "other cookies stay";

  std::vector<std::vector<HttpCookie>> reports;
  SessionCookieWatcher watcher(store, [&](const auto& cookies) { reports.push_back(cookies); });

  WorkspaceView view(session.get());
  const std::string bootstrap = standin.origin() + std::string(wire::kBootstrapPath);
  ASSERT_TRUE(view.load(bootstrap));
  auto requests = nlohmann::json::parse(
      view.run("const r = await fetch('/__standin/requests'); return await r.text();"));
  auto sent = cookieHeadersFor(requests, std::string(wire::kBootstrapPath));
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_THAT(sent.front(), ::testing::HasSubstr("orlith_session=fresh"));
  EXPECT_THAT(sent.front(), ::testing::Not(::testing::HasSubstr("stale")));

  // The service renews the session cookie in its reply to the page.
  const std::string renewal =
      nlohmann::json{
          {"method", "GET"},
          {"path", wire::kBootstrapPath},
          {"status", 200},
          {"body", "{}"},
          {"setCookies", {"orlith_session=renewed; Path=/; Secure; HttpOnly; Max-Age=7200"}}}
          .dump();
  EXPECT_EQ(view.run("const r = await fetch('/__standin/replies', {method: 'POST', body: " +
                     nlohmann::json(renewal).dump() + "}); return String(r.status);"),
            "204");
  ASSERT_TRUE(view.load(bootstrap));
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        const HttpCookie* seen = reports.empty() ? nullptr : find(reports.back(), "orlith_session");
        return seen && seen->value == "renewed";
      },
      30s))
      << "the watcher reports the cookie the page's reply set";

  StoredCookie stored = StoredCookie::fromHttpCookie(fresh);
  const auto decision =
      decideSessionCookieSync(stored, reports.back(), hosts, std::chrono::system_clock::now());
  EXPECT_EQ(decision.kind, SessionCookieSyncDecision::Kind::adopt);
  EXPECT_EQ(decision.value, "renewed");
}

}  // namespace
}  // namespace orlith
