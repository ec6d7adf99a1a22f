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

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <variant>

#include "OrlithBuildConfig.h"
#include "RealInput.h"
#include "WorkspaceWindowFixture.h"
#include "app/AppDelegate.h"
#include "app/OrlithMacApp.h"
#include "app/WorkspaceCommands.h"
#include "base/JsonFilePreferences.h"
#include "session/SessionKeychain.h"
#include "support/TemporaryDirectory.h"
#include "workspace/surface/gtk/DesktopSurfaceServices.h"

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

// The program's mapped top-level windows.
std::vector<Window> windowsOf(GPid pid) {
  Display* display = xDisplay();
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

void focus(Window window) {
  Display* display = xDisplay();
  XRaiseWindow(display, window);
  XSetInputFocus(display, window, RevertToParent, CurrentTime);
  XSync(display, False);
  testing::spinUntil([] { return false; }, 300ms);
}

void requestClose(Window window) {
  Display* display = xDisplay();
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
    WorkspaceWindowFixture::TearDown();
  }

  // The output of the program and its web processes goes nowhere: a web process that outlives
  // the program must not hold the test's own output open.
  GPid run() {
    const char* argv[] = {kProgram, nullptr};
    GPid pid = 0;
    GError* error = nullptr;
    if (!g_spawn_async(
            nullptr, const_cast<char**>(argv), nullptr,
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
    return testing::spinUntil([&] { return exited(pid); }, timeout);
  }

  std::optional<Window> waitWindow(GPid pid, std::chrono::milliseconds timeout = 30s) {
    std::optional<Window> found;
    testing::spinUntil(
        [&] {
          auto windows = windowsOf(pid);
          if (!windows.empty())
            found = windows.front();
          return found.has_value();
        },
        timeout);
    return found;
  }

  std::vector<GPid> pids_;
  std::map<GPid, int> exitStatus_;
};

TEST_F(RealProgram, KeysStayAliveWithoutWindowsReopenAndQuit) {
  // The program loads its compiled-in origin: a stand-in listens there, and its home page
  // reports each first paint into a file of the test's own.
  const std::string origin = build::kServiceOrigin;
  TemporaryDirectory scratch;
  const auto paintLog = scratch.path() / "paint.log";
  setenv("ORLITH_STANDIN_PAINT_LOG", paintLog.c_str(), 1);
  testing::StandinProcess appStandin(ORLITH_STANDIN_PATH, ORLITH_BINARY_DIR "/devcert", 15s,
                                     {"--port", origin.substr(origin.rfind(':') + 1)});
  unsetenv("ORLITH_STANDIN_PAINT_LOG");
  auto paints = [&] {
    std::ifstream file(paintLog);
    std::size_t lines = 0;
    for (std::string line; std::getline(file, line);)
      ++lines;
    return lines;
  };
  // The program keeps its session under its own keyring service.
  keychainService_ = SessionKeychain::serviceFor(std::nullopt);
  launch(OrlithEnvironment(*Url::parse(origin)));
  signIn(testing::kDemoAccount);
  // This build is not in an Applications folder: the offer is answered before, as a user did.
  DesktopSurfaceServices::shared().preferences().setBoolean(AppDelegate::kDismissedReminderKey,
                                                            true);
  DesktopSurfaceServices::shared().preferences().remove(WorkspaceCommands::kPageZoomKey);
  const std::string recovery = *WorkspaceTabRecoveryStore::recoveryKey(testing::kDemoAccount);
  DesktopSurfaceServices::shared().preferences().remove(recovery);
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

  const GPid app = run();
  auto window = waitWindow(app);
  ASSERT_TRUE(window);
  // The stored session is restored and the window's tabs are saved once prepared.
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 1; }, 30s));
  // Its page is shown; the selected tab's page has the keyboard focus.
  ASSERT_TRUE(testing::spinUntil([&] { return paints() == 1; }, 30s));
  focus(*window);

  // Other tests' windows share the display: the program's window takes the focus before each key.
  testing::pressControl(XK_t);
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 2; }, 10s));
  focus(*window);
  testing::pressControl(XK_w);
  ASSERT_TRUE(testing::spinUntil([&] { return tabCount() == 1; }, 10s));
  focus(*window);
  testing::pressControl(XK_equal);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return stored(WorkspaceCommands::kPageZoomKey) == PreferenceValue(1.1); }, 10s));
  focus(*window);
  testing::pressControl(XK_0);
  ASSERT_TRUE(testing::spinUntil(
      [&] { return stored(WorkspaceCommands::kPageZoomKey) == PreferenceValue(1.0); }, 10s));

  // The closed tab's page may have painted too: the reload is one more report than before it.
  testing::spinUntil([] { return false; }, 1s);
  const std::size_t beforeReload = paints();
  focus(*window);
  testing::pressControl(XK_r);
  ASSERT_TRUE(testing::spinUntil([&] { return paints() == beforeReload + 1; }, 20s)) << "reloaded";

  // Closing the last window leaves the program running.
  requestClose(*window);
  ASSERT_TRUE(testing::spinUntil([&] { return windowsOf(app).empty(); }, 10s));
  testing::spinUntil([] { return false; }, 1s);
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
  testing::spinUntil([] { return false; }, 1s);
  EXPECT_EQ(windowsOf(app).size(), 1u);

  focus(*window);
  testing::pressControl(XK_q);
  ASSERT_TRUE(waitExit(app, 20s));
  EXPECT_TRUE(WIFEXITED(exitStatus_[app]) && WEXITSTATUS(exitStatus_[app]) == 0);
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
