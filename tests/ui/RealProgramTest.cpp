// The built app program itself, as a user starts it: keyboard commands reach its focused
// window (their effect read back from its preferences file), it keeps running when its last
// window closes, a second launch brings a window back, and Quit ends it; other processes on the
// session bus find no action or menu of it to call, yet still reach it to activate it and hand
// it links. The test session's
// private folders keep it away from the account's own data; the install decision goes to the
// no-op update port, so no Applications folder is touched.
#include <X11/Xatom.h>
#include <glib.h>
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <variant>

#include "OrlithBuildConfig.h"
#include "RealInput.h"
#include "RecordingBrowser.h"
#include "WorkspaceWindowFixture.h"
#include "XErrorTrap.h"
#include "app/AppDelegate.h"
#include "app/OrlithMacApp.h"
#include "app/WorkspaceCommands.h"
#include "base/BundleInfo.h"
#include "base/JsonFilePreferences.h"
#include "platform/secret/LibsecretSecretStore.h"
#include "session/SessionKeychain.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"
#include "workspace/surface/gtk/WorkspaceNetworkSession.h"

// X last: its macros clash with the toolkit's C++ headers.
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr const char* kProgram = ORLITH_BUNDLE_DIR "/Contents/MacOS/Orlith";

Display* xDisplay() {
  return gdk_x11_display_get_xdisplay(gdk_display_get_default());
}

// The program's mapped top-level windows. A window may go between the listing and the questions
// about it: its errors are trapped and it is left out.
std::vector<Window> windowsOf(GPid pid) {
  Display* display = xDisplay();
  testing::XErrorTrap trap;
  const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
  Window root = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  std::vector<Window> result;
  if (!XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count))
    return result;
  for (unsigned int i = 0; i < count; ++i) {
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &items, &after, &data) == Success &&
        data && items == 1) {
      const auto owner = static_cast<GPid>(*reinterpret_cast<unsigned long*>(data));
      XWindowAttributes attributes;
      if (owner == pid && XGetWindowAttributes(display, children[i], &attributes) &&
          attributes.map_state == IsViewable)
        result.push_back(children[i]);
    }
    if (data)
      XFree(data);
  }
  if (children)
    XFree(children);
  return result;
}

std::string titleOf(Window window) {
  Display* display = xDisplay();
  testing::XErrorTrap trap;
  Atom type = 0;
  int format = 0;
  unsigned long items = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False), 0, 1024,
                         False, XInternAtom(display, "UTF8_STRING", False), &type, &format, &items,
                         &after, &data) == Success &&
      data)
    title.assign(reinterpret_cast<const char*>(data), items);
  if (data)
    XFree(data);
  return title;
}

// Gives the window the keyboard focus; false when it is gone or does not take it. The program
// sees the focus change before any key sent after it.
bool focus(Window window) {
  Display* display = xDisplay();
  testing::XErrorTrap trap;
  XRaiseWindow(display, window);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  return trap.end() == 0 && testing::spinUntil(
                                [&] {
                                  Window focused = 0;
                                  int revert = 0;
                                  XGetInputFocus(display, &focused, &revert);
                                  return focused == window;
                                },
                                5s);
}

void requestClose(Window window) {
  Display* display = xDisplay();
  testing::XErrorTrap trap;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

// The files under the home folder and the XDG data, config and cache folders (the keyring's own
// files aside) whose bytes contain `needle`.
std::set<std::filesystem::path> lastingFilesHolding(const std::string& needle) {
  namespace fs = std::filesystem;
  const fs::path keyrings = fs::path(g_get_user_data_dir()) / "keyrings";
  // A set: the XDG folders may lie under the home folder.
  std::set<fs::path> found;
  for (const char* variable : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
    const char* root = std::getenv(variable);
    std::error_code error;
    if (root == nullptr || !fs::is_directory(root, error))
      continue;
    for (fs::recursive_directory_iterator
             entry(root, fs::directory_options::skip_permission_denied, error),
         end;
         !error && entry != end; entry.increment(error)) {
      if (entry->path() == keyrings) {
        entry.disable_recursion_pending();
        continue;
      }
      // Files come and go while the web processes work: one that is gone holds nothing.
      std::error_code ignored;
      if (!entry->is_regular_file(ignored) || entry->is_symlink(ignored))
        continue;
      std::ifstream file(entry->path(), std::ios::binary);
      const std::string bytes{std::istreambuf_iterator<char>(file), {}};
      if (bytes.find(needle) != std::string::npos)
        found.insert(entry->path());
    }
  }
  return found;
}

// Waits for what only another process changes: the main loop is woken to look again, as
// nothing of this process's own would wake it.
bool pollUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const guint tick = g_timeout_add(
      100, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  const bool reached = testing::spinUntil(done, timeout);
  g_source_remove(tick);
  return reached;
}

// The program's objects on the session bus, by path, each with its interfaces' names.
std::map<std::string, std::vector<std::string>> busObjects(GDBusConnection* bus,
                                                           const std::string& name,
                                                           const std::string& path) {
  std::map<std::string, std::vector<std::string>> objects;
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, name.c_str(), path.c_str(), "org.freedesktop.DBus.Introspectable", "Introspect", nullptr,
      G_VARIANT_TYPE("(s)"), G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
  if (!reply) {
    ADD_FAILURE() << path << ": " << error->message;
    g_error_free(error);
    return objects;
  }
  const gchar* xml = nullptr;
  g_variant_get(reply, "(&s)", &xml);
  GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(xml, nullptr);
  g_variant_unref(reply);
  if (!node)
    return objects;
  auto& interfaces = objects[path];
  for (GDBusInterfaceInfo** i = node->interfaces; i && *i; ++i)
    interfaces.push_back((*i)->name);
  for (GDBusNodeInfo** child = node->nodes; child && *child; ++child) {
    const std::string below = (path == "/" ? "" : path) + "/" + (*child)->path;
    objects.merge(busObjects(bus, name, below));
  }
  g_dbus_node_info_unref(node);
  return objects;
}

// Calls `method` of `interface` at `path`; the reply, or the error's text.
std::variant<GVariant*, std::string> busCall(GDBusConnection* bus, const std::string& path,
                                             const char* interface, const char* method,
                                             GVariant* parameters) {
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_sync(
      bus, OrlithMacApp::kApplicationId.data(), path.c_str(), interface, method, parameters,
      nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
  if (reply)
    return reply;
  std::string message = error->message;
  g_error_free(error);
  return message;
}

// What the program stored, read from its file as it is now.
std::optional<PreferenceValue> stored(const std::string& key) {
  JsonFilePreferences file(JsonFilePreferences::defaultPath());
  return file.value(key);
}

class RealProgram : public testing::WorkspaceWindowFixture {
 protected:
  void TearDown() override {
    for (GPid pid : pids_) {
      if (!exited(pid)) {
        kill(pid, SIGTERM);
        if (!waitExit(pid, 5s)) {
          kill(pid, SIGKILL);
          waitExit(pid, 5s);
        }
      }
    }
    // A context again, with the program gone, so the fixture removes the session it kept.
    if (contextReleased_)
      launch();
    WorkspaceWindowFixture::TearDown();
  }

  // The output of the program and its web processes goes nowhere: a web process that outlives
  // the program must not hold the test's own output open.
  // `environment` null: the test's own.
  GPid run(char** environment = nullptr) {
    const char* argv[] = {kProgram, nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(
            nullptr, const_cast<char**>(argv), environment,
            static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_STDOUT_TO_DEV_NULL |
                                     G_SPAWN_STDERR_TO_DEV_NULL),
            nullptr, nullptr, &pid, &error)) {
      ADD_FAILURE() << error->message;
      g_error_free(error);
      return 0;
    }
    pids_.push_back(pid);
    return pid;
  }

  // While the program runs it is the only writer of its preferences file: this process's context
  // would write its own older copy of the whole file over the program's (when it saves a renewed
  // session, say), and the program's tab record would be gone.
  void releaseContext() {
    windows_.clear();
    context_.reset();
    contextReleased_ = true;
  }

  bool exited(GPid pid) {
    if (exitStatus_.count(pid))
      return true;
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      exitStatus_[pid] = status;
      return true;
    }
    return false;
  }

  bool waitExit(GPid pid, std::chrono::milliseconds timeout) {
    return pollUntil([&] { return exited(pid); }, timeout);
  }

  std::optional<Window> waitWindow(GPid pid, std::chrono::milliseconds timeout = 60s) {
    std::optional<Window> found;
    pollUntil(
        [&] {
          auto windows = windowsOf(pid);
          if (!windows.empty())
            found = windows.front();
          return found.has_value();
        },
        timeout);
    return found;
  }

  // The program loads its compiled-in origin: a stand-in listens there, its home page reporting
  // each first paint (and the names of the cookies it sent) into files of the test's own. The
  // stored session is the demo account's, under the program's own keyring service, and the tab
  // record starts empty.
  void startStandinAndSignIn() {
    const std::string origin = build::kServiceOrigin;
    setenv("ORLITH_STANDIN_PAINT_LOG", paintLog_.c_str(), 1);
    setenv("ORLITH_STANDIN_COOKIE_LOG", cookieLog_.c_str(), 1);
    appStandin_.emplace(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                        std::vector<std::string>{"--port", origin.substr(origin.rfind(':') + 1)});
    unsetenv("ORLITH_STANDIN_PAINT_LOG");
    unsetenv("ORLITH_STANDIN_COOKIE_LOG");
    keychainService_ = SessionKeychain::serviceFor(std::nullopt);
    launch(OrlithEnvironment(*Url::parse(origin)));
    signIn(testing::kDemoAccount);
    // This build is not in an Applications folder: the offer is answered before, as a user did.
    DesktopSurfaceServices::shared().preferences().setBoolean(AppDelegate::kDismissedReminderKey,
                                                              true);
    DesktopSurfaceServices::shared().preferences().remove(WorkspaceCommands::kPageZoomKey);
    DesktopSurfaceServices::shared().preferences().remove(
        *WorkspaceTabRecoveryStore::recoveryKey(testing::kDemoAccount));
  }

  static std::vector<std::string> lines(const std::filesystem::path& path) {
    std::ifstream file(path);
    std::vector<std::string> result;
    for (std::string line; std::getline(file, line);)
      result.push_back(line);
    return result;
  }
  std::size_t paints() const { return lines(paintLog_).size(); }
  // The cookie names each first paint's request carried, one entry a paint.
  std::vector<std::string> paintCookies() const { return lines(cookieLog_); }

  TemporaryDirectory scratch_;
  std::filesystem::path paintLog_ = scratch_.path() / "paint.log";
  std::filesystem::path cookieLog_ = scratch_.path() / "cookies.log";
  std::optional<testing::StandinProcess> appStandin_;

  std::vector<GPid> pids_;
  std::map<GPid, int> exitStatus_;
  bool contextReleased_ = false;
};

// The built program signing in through a provider, with the stand-in at its compiled-in origin,
// a recording browser, the real keyring and links sent as another program sends them, through
// the desktop's scheme handler.
class RealProgramSignIn : public RealProgram {
 protected:
  void SetUp() override {
    RealProgram::SetUp();
    const std::string origin = build::kServiceOrigin;
    setenv("ORLITH_STANDIN_PAINT_LOG", paintLog_.c_str(), 1);
    appStandin_.emplace(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                        std::vector<std::string>{"--port", origin.substr(origin.rfind(':') + 1)});
    unsetenv("ORLITH_STANDIN_PAINT_LOG");
    // The program starts signed out: what an earlier test left in the keyring goes.
    keychainService_ = SessionKeychain::serviceFor(std::nullopt);
    launch(OrlithEnvironment(*Url::parse(origin)));
    context_->sessionStore().signOut();
    ASSERT_TRUE(testing::spinUntil([&] { return !keyringSessionEmail(); }, 10s));
    DesktopSurfaceServices::shared().preferences().setBoolean(AppDelegate::kDismissedReminderKey,
                                                              true);
    googleButton_ = googleButtonPoint();
  }
  void TearDown() override {
    RealProgram::TearDown();
    DesktopSurfaceServices::shared().preferences().remove(AppDelegate::kDismissedReminderKey);
  }

  // Where the program's window shows "Continue with Google": the same window made here, signed
  // out, lays its sign-in view out alike.
  std::pair<int, int> googleButtonPoint() {
    MainWindow& window = openWindow();
    EXPECT_TRUE(testing::spinUntil(
        [&] { return window.signInView() && window.signInView()->get_mapped(); }, 10s));
    Gtk::Button& button = window.signInView()->googleButton();
    GtkNative* native = gtk_widget_get_native(GTK_WIDGET(button.gobj()));
    graphene_point_t centre =
        GRAPHENE_POINT_INIT(button.get_width() / 2.0f, button.get_height() / 2.0f);
    graphene_point_t inNative{};
    EXPECT_TRUE(gtk_widget_compute_point(GTK_WIDGET(button.gobj()), GTK_WIDGET(native), &centre,
                                         &inNative));
    double offsetX = 0, offsetY = 0;
    gtk_native_get_surface_transform(native, &offsetX, &offsetY);
    windows_.clear();
    return {static_cast<int>(inNative.x + offsetX), static_cast<int>(inNative.y + offsetY)};
  }

  std::optional<std::string> keyringSessionEmail() const {
    auto secrets = std::make_shared<LibsecretSecretStore>(
        AppIdentity::fromBundle(BundleInfo::main()).bundleIdentifier);
    SessionKeychain keychain(secrets, keychainService_);
    SecretReadResult result = secrets->read(keychain.key());
    if (result.kind != SecretReadResult::Kind::data)
      return std::nullopt;
    return StoredSession::decode(result.data).email;
  }

  std::unique_ptr<httplib::SSLClient> appStandinClient() const {
    auto client = std::make_unique<httplib::SSLClient>("127.0.0.1", appStandin_->port());
    client->enable_server_certificate_verification(false);
    client->set_read_timeout(10, 0);
    return client;
  }
  // A hand-off for the account, minted at the service as any of its users can.
  std::string handoffToken(const std::string& email) const {
    auto reply = appStandinClient()->Post(
        "/__standin/handoff", nlohmann::json{{"email", email}}.dump(), "application/json");
    return reply ? nlohmann::json::parse(reply->body).value("token", "") : "";
  }
  int requestsTo(const std::string& path) const {
    auto reply = appStandinClient()->Get("/__standin/requests");
    int count = 0;
    if (reply)
      for (const auto& request : nlohmann::json::parse(reply->body))
        count += request.value("path", "") == path;
    return count;
  }

  // Sends the link as any program can: through the desktop's handler of the app's scheme.
  void openLink(const std::string& link) {
    const char* argv[] = {"gio", "open", link.c_str(), nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    ASSERT_TRUE(
        g_spawn_async(nullptr, const_cast<char**>(argv), nullptr,
                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_DO_NOT_REAP_CHILD |
                                               G_SPAWN_STDOUT_TO_DEV_NULL),
                      nullptr, nullptr, &pid, &error))
        << error->message;
    pids_.push_back(pid);
    ASSERT_TRUE(waitExit(pid, 20s));
    EXPECT_TRUE(WIFEXITED(exitStatus_[pid]) && WEXITSTATUS(exitStatus_[pid]) == 0);
  }
  std::string callback(const std::string& token) { return "orlith://auth/callback?token=" + token; }

  std::optional<Window> windowTitled(GPid pid, const std::string& title,
                                     std::chrono::milliseconds timeout = 30s) {
    std::optional<Window> found;
    testing::spinUntil(
        [&] {
          for (Window window : windowsOf(pid)) {
            if (titleOf(window) == title)
              found = window;
          }
          return found.has_value();
        },
        timeout);
    return found;
  }

  void pressGoogle(Window window) {
    // Laid out and drawn before the click.
    testing::spinUntil([] { return false; }, 1500ms);
    testing::clickInWindow(window, googleButton_.first, googleButton_.second);
  }

  std::pair<int, int> googleButton_;
  testing::RecordingBrowser browser_;
};

TEST_F(RealProgram, KeysStayAliveWithoutWindowsReopenAndQuit) {
  startStandinAndSignIn();
  // The first-paint reports, each the monotonic clock's nanoseconds when it came.
  auto paintTimes = [&] {
    std::ifstream file(paintLog_);
    std::vector<long long> times;
    for (std::string line; std::getline(file, line);)
      times.push_back(std::stoll(line));
    return times;
  };
  auto paints = [&] { return paintTimes().size(); };
  const std::string recovery = *WorkspaceTabRecoveryStore::recoveryKey(testing::kDemoAccount);
  // The tabs of the program's window, from the recovery record it keeps in its file.
  auto tabCount = [&]() -> std::size_t {
    auto value = stored(recovery);
    auto* data = value ? std::get_if<PreferenceData>(&*value) : nullptr;
    if (!data)
      return 0;
    auto json = nlohmann::json::parse(data->begin(), data->end(), nullptr, false);
    if (!json.is_object() || !json["windows"].is_array() || json["windows"].empty())
      return 0;
    return json["windows"][0]["urls"].size();
  };

  releaseContext();
  const GPid app = run();
  auto window = waitWindow(app);
  ASSERT_TRUE(window);
  // The stored session is restored and the window's tabs are saved once prepared.
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 1; }, 60s));
  // Its page is shown; the selected tab's page has the keyboard focus.
  ASSERT_TRUE(testing::spinUntil([&] { return paints() == 1; }, 60s));

  // Other tests' windows share the display: the program's window takes the focus before each key.
  ASSERT_TRUE(focus(*window));
  testing::pressControl(XK_t);
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 2; }, 10s));
  ASSERT_TRUE(focus(*window));
  testing::pressControl(XK_w);
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 1; }, 10s));
  ASSERT_TRUE(focus(*window));
  testing::pressControl(XK_equal);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return stored(WorkspaceCommands::kPageZoomKey) == PreferenceValue(1.1); }, 10s));
  ASSERT_TRUE(focus(*window));
  testing::pressControl(XK_0);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return stored(WorkspaceCommands::kPageZoomKey) == PreferenceValue(1.0); }, 10s));

  // The reload paints once more, after the key; the closed tab's page may have reported before.
  ASSERT_TRUE(focus(*window));
  const long long reloadPressed = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
  testing::pressControl(XK_r);
  auto paintsAfterReload = [&] {
    const auto times = paintTimes();
    return std::count_if(times.begin(), times.end(),
                         [&](long long time) { return time > reloadPressed; });
  };
  ASSERT_TRUE(testing::spinUntil([&] { return paintsAfterReload() >= 1; }, 20s)) << "reloaded";
  EXPECT_EQ(paintsAfterReload(), 1);

  // Closing the last window leaves the program running: the next launch hands over to it.
  requestClose(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return windowsOf(app).empty(); }, 10s));
  EXPECT_FALSE(exited(app));

  // A second launch hands over to the running one, which opens a window again.
  const GPid second = run();
  ASSERT_TRUE(waitExit(second, 20s));
  EXPECT_TRUE(WIFEXITED(exitStatus_[second]) && WEXITSTATUS(exitStatus_[second]) == 0);
  window = waitWindow(app, 20s);
  ASSERT_TRUE(window);
  // A further launch brings that window forward and opens no other.
  const GPid third = run();
  ASSERT_TRUE(waitExit(third, 20s));
  // The handover ends once the running one has taken it; a window it made would be mapped by
  // now or within this grace, which only lets a wrong window show (load cannot make it fail).
  EXPECT_FALSE(testing::spinUntil([&] { return windowsOf(app).size() > 1; }, 1s));
  EXPECT_EQ(windowsOf(app).size(), 1u);

  ASSERT_TRUE(focus(*window));
  testing::pressControl(XK_q);
  ASSERT_TRUE(waitExit(app, 20s));
  EXPECT_TRUE(WIFEXITED(exitStatus_[app]) && WEXITSTATUS(exitStatus_[app]) == 0);
  DesktopSurfaceServices::shared().preferences().remove(AppDelegate::kDismissedReminderKey);
}

TEST_F(RealProgramSignIn, ALinkFromAnotherProgramKeepsNothingUntilThePersonAgrees) {
  const GPid app = run();
  auto window = waitWindow(app);
  ASSERT_TRUE(window);
  pressGoogle(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return !browser_.firstOpened().empty(); }, 30s));
  ASSERT_TRUE(windowTitled(app, "accounts.google.com"));

  // While the person is in the browser, another program sends a link for its own account.
  openLink(callback(handoffToken("stranger@orlith.test")));
  auto question = windowTitled(app, "Sign in as stranger@orlith.test?");
  ASSERT_TRUE(question) << "the account is not asked about";
  EXPECT_FALSE(keyringSessionEmail());
  EXPECT_EQ(paints(), 0u) << "a workspace was shown";

  // Cancel: that session ends at the service, nothing is kept, the attempt waits on.
  focus(*question);
  testing::pressKeys({}, XK_Escape);
  ASSERT_TRUE(testing::spinUntil([&] { return requestsTo("/api/auth/logout") == 1; }, 20s));
  EXPECT_TRUE(windowTitled(app, "accounts.google.com", 10s)) << "the waiting sheet is back";
  EXPECT_FALSE(keyringSessionEmail());
  EXPECT_EQ(paints(), 0u);

  // The person's own callback still completes, once they agree.
  openLink(callback(handoffToken(testing::kDemoAccount)));
  question = windowTitled(app, std::string("Sign in as ") + testing::kDemoAccount + "?");
  ASSERT_TRUE(question);
  focus(*question);
  testing::pressKeys({}, XK_Return);
  EXPECT_TRUE(testing::spinUntil(
      [&] { return keyringSessionEmail() == std::optional<std::string>(testing::kDemoAccount); },
      30s));
  EXPECT_TRUE(testing::spinUntil([&] { return paints() >= 1; }, 30s));
}

TEST_F(RealProgramSignIn, ClosingTheWindowWhileAProviderSignInStartsEndsIt) {
  // The service answers the start slowly, so the window is gone before the answer comes.
  appStandinClient()->Post(
      "/__standin/replies",
      nlohmann::json{
          {"path", "/api/auth/provider"},
          {"body", nlohmann::json{{"ok", true},
                                  {"redirectTo", "https://accounts.google.com/o/oauth2/v2/auth"}}
                       .dump()},
          {"delayMs", 3000}}
          .dump(),
      "application/json");
  const GPid app = run();
  auto window = waitWindow(app);
  ASSERT_TRUE(window);
  pressGoogle(*window);
  requestClose(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return windowsOf(app).empty(); }, 10s));
  ASSERT_TRUE(testing::spinUntil([&] { return requestsTo("/api/auth/provider") == 1; }, 10s))
      << "the start was not sent";

  // The answer comes: nothing opens, no sheet stands alone.
  testing::spinUntil([] { return false; }, 5s);
  EXPECT_EQ(browser_.firstOpened(), "");
  EXPECT_TRUE(windowsOf(app).empty());

  // A later callback signs nothing in.
  openLink(callback(handoffToken(testing::kDemoAccount)));
  testing::spinUntil([] { return false; }, 3s);
  EXPECT_FALSE(keyringSessionEmail());
  EXPECT_EQ(requestsTo("/api/auth/native/consume"), 0);
  EXPECT_EQ(paints(), 0u);
}

TEST_F(RealProgram, SessionCookieStaysOffDiskAndTheSessionOutlivesRestartsAndANewRuntimeFolder) {
  startStandinAndSignIn();
  const std::string value = context_->sessionStore().currentSession()->cookie.value;
  // The jar where earlier versions kept cookies, session cookie included.
  const auto legacyJar = std::filesystem::path(g_get_user_data_dir()) / "orlith" / "web" /
                         WorkspaceNetworkSession::kCookieJarName;
  std::filesystem::create_directories(legacyJar.parent_path());
  const std::vector<std::string> legacyFiles = {legacyJar.string(), legacyJar.string() + "-journal",
                                                legacyJar.string() + "-wal"};
  for (const auto& file : legacyFiles)
    std::ofstream(file) << "orlith_session=" << value;
  // The program's runtime folder, private as a login session's is; then a new one, as after
  // logging out or a restart of the machine.
  TemporaryDirectory firstRuntime, secondRuntime;
  auto environmentWith = [](const TemporaryDirectory& runtime) {
    std::filesystem::permissions(runtime.path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::replace);
    return std::unique_ptr<gchar*, decltype(&g_strfreev)>(
        g_environ_setenv(g_get_environ(), "XDG_RUNTIME_DIR", runtime.path().c_str(), TRUE),
        &g_strfreev);
  };
  auto firstEnvironment = environmentWith(firstRuntime);
  auto secondEnvironment = environmentWith(secondRuntime);
  const auto runtimeJar = WorkspaceNetworkSession::cookieJarPath(firstRuntime.path());
  ASSERT_TRUE(runtimeJar);
  auto jarHoldsValue = [&] {
    std::ifstream file(*runtimeJar, std::ios::binary);
    return std::string{std::istreambuf_iterator<char>(file), {}}.find(value) != std::string::npos;
  };
  auto hasCookie = [](const std::string& names, const std::string& name) {
    return (" " + names).find(" " + name + " ") != std::string::npos;
  };

  // Signed in: the page is shown with the keyring's session, whose cookie lives in the jar under
  // the runtime folder and in no lasting file; the old jar is gone.
  GPid app = run(firstEnvironment.get());
  ASSERT_TRUE(waitWindow(app));
  ASSERT_TRUE(pollUntil([&] { return paintCookies().size() == 1; }, 30s));
  EXPECT_TRUE(hasCookie(paintCookies()[0], "orlith_session")) << paintCookies()[0];
  EXPECT_FALSE(hasCookie(paintCookies()[0], "standin_visit"));
  for (const auto& file : legacyFiles)
    EXPECT_FALSE(std::filesystem::exists(file)) << file;
  EXPECT_TRUE(pollUntil(jarHoldsValue, 10s)) << *runtimeJar;
  EXPECT_THAT(lastingFilesHolding(value), ::testing::IsEmpty());

  // Killed outright: still in no lasting file.
  kill(app, SIGKILL);
  ASSERT_TRUE(waitExit(app, 10s));
  EXPECT_THAT(lastingFilesHolding(value), ::testing::IsEmpty());

  // Started again: signed in without a sign-in, and the page's own cookie from the first run is
  // still there.
  app = run(firstEnvironment.get());
  ASSERT_TRUE(waitWindow(app));
  ASSERT_TRUE(pollUntil([&] { return paintCookies().size() == 2; }, 30s));
  EXPECT_TRUE(hasCookie(paintCookies()[1], "orlith_session")) << paintCookies()[1];
  EXPECT_TRUE(hasCookie(paintCookies()[1], "standin_visit")) << paintCookies()[1];
  kill(app, SIGTERM);
  ASSERT_TRUE(waitExit(app, 20s));

  // With a new runtime folder the keyring still signs the workspace in, and the page's other
  // cookies are gone.
  app = run(secondEnvironment.get());
  ASSERT_TRUE(waitWindow(app));
  ASSERT_TRUE(pollUntil([&] { return paintCookies().size() == 3; }, 30s));
  EXPECT_TRUE(hasCookie(paintCookies()[2], "orlith_session")) << paintCookies()[2];
  EXPECT_FALSE(hasCookie(paintCookies()[2], "standin_visit")) << paintCookies()[2];
  EXPECT_THAT(lastingFilesHolding(value), ::testing::IsEmpty());
  kill(app, SIGTERM);
  ASSERT_TRUE(waitExit(app, 20s));
  DesktopSurfaceServices::shared().preferences().remove(AppDelegate::kDismissedReminderKey);
}

TEST_F(RealProgram, OtherProcessesFindNoActionOrMenuOnTheBusYetActivateAndOpenReachIt) {
  const std::string origin = build::kServiceOrigin;
  testing::StandinProcess appStandin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                                     {"--port", origin.substr(origin.rfind(':') + 1)});
  keychainService_ = SessionKeychain::serviceFor(std::nullopt);
  launch(OrlithEnvironment(*Url::parse(origin)));
  signIn(testing::kDemoAccount);
  DesktopSurfaceServices::shared().preferences().setBoolean(AppDelegate::kDismissedReminderKey,
                                                            true);
  const std::string recovery = *WorkspaceTabRecoveryStore::recoveryKey(testing::kDemoAccount);
  DesktopSurfaceServices::shared().preferences().remove(recovery);
  auto tabsSaved = [&] { return stored(recovery).has_value(); };

  const GPid app = run();
  ASSERT_TRUE(waitWindow(app));
  // Signed in, its window's tabs saved: every command of the menu would act now.
  ASSERT_TRUE(testing::spinUntil(tabsSaved, 30s));

  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  ASSERT_NE(bus, nullptr);
  std::string root = "/" + std::string(OrlithMacApp::kApplicationId);
  std::replace(root.begin(), root.end(), '.', '/');
  const auto objects = busObjects(bus, OrlithMacApp::kApplicationId.data(), root);
  ASSERT_TRUE(objects.count(root)) << "the application is on the bus";
  for (const auto& [path, interfaces] : objects) {
    EXPECT_THAT(interfaces, ::testing::Not(::testing::Contains("org.gtk.Menus"))) << path;
    if (std::find(interfaces.begin(), interfaces.end(), "org.gtk.Actions") == interfaces.end())
      continue;
    auto described = busCall(bus, path, "org.gtk.Actions", "DescribeAll", nullptr);
    ASSERT_TRUE(std::holds_alternative<GVariant*>(described)) << path;
    GVariant* reply = std::get<GVariant*>(described);
    GVariant* actions = g_variant_get_child_value(reply, 0);
    GCharPtr text(g_variant_print(actions, FALSE));
    EXPECT_EQ(g_variant_n_children(actions), 0u) << path << " lists " << text.get();
    g_variant_unref(actions);
    g_variant_unref(reply);
  }

  // Each command of the menu, asked for at the application and at a window's path, is refused
  // and does nothing.
  const char* commands[] = {"quit",   "sign-out",   "new-window", "preferences",
                            "about",  "help",       "new-tab",    "close-tab",
                            "reload", "fullscreen", "appearance", "check-for-updates"};
  for (const char* command : commands) {
    for (const std::string& path : {root, root + "/window/1"}) {
      auto answer = busCall(bus, path, "org.gtk.Actions", "Activate",
                            g_variant_new("(sava{sv})", command, nullptr, nullptr));
      EXPECT_TRUE(std::holds_alternative<std::string>(answer)) << path << " " << command;
      if (auto* reply = std::get_if<GVariant*>(&answer))
        g_variant_unref(*reply);
    }
  }
  testing::spinUntil([] { return false; }, 2s);
  EXPECT_FALSE(exited(app));
  EXPECT_EQ(windowsOf(app).size(), 1u);
  EXPECT_TRUE(tabsSaved()) << "still signed in";

  // Activate brings a window back; a link handed over with Open does too.
  auto window = waitWindow(app, 5s);
  ASSERT_TRUE(window);
  requestClose(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return windowsOf(app).empty(); }, 10s));
  auto activated =
      busCall(bus, root, "org.gtk.Application", "Activate", g_variant_new("(a{sv})", nullptr));
  ASSERT_TRUE(std::holds_alternative<GVariant*>(activated)) << std::get<std::string>(activated);
  g_variant_unref(std::get<GVariant*>(activated));
  window = waitWindow(app, 20s);
  ASSERT_TRUE(window);
  requestClose(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return windowsOf(app).empty(); }, 10s));
  const char* links[] = {"orlith://auth/callback?token=unasked", nullptr};
  auto opened = busCall(bus, root, "org.gtk.Application", "Open",
                        g_variant_new("(^assa{sv})", links, "", nullptr));
  ASSERT_TRUE(std::holds_alternative<GVariant*>(opened)) << std::get<std::string>(opened);
  g_variant_unref(std::get<GVariant*>(opened));
  EXPECT_TRUE(waitWindow(app, 20s));
  EXPECT_TRUE(tabsSaved()) << "an unasked callback signs nothing in or out";
  g_object_unref(bus);
  DesktopSurfaceServices::shared().preferences().remove(AppDelegate::kDismissedReminderKey);
}

}  // namespace
}  // namespace orlith
