// The built app program itself, as a user starts it: keyboard commands reach its focused
// window (their effect read back from its preferences file), it keeps running when its last
// window closes, a second launch brings a window back, and Quit ends it. The test session's
// private folders keep it away from the account's own data; the install decision goes to the
// no-op update port, so no Applications folder is touched.
#include <X11/Xatom.h>
#include <glib.h>
#include <gmock/gmock.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <optional>

#include "OrlithBuildConfig.h"
#include "RealInput.h"
#include "WorkspaceWindowFixture.h"
#include "XErrorTrap.h"
#include "app/AppDelegate.h"
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
    return testing::spinUntil([&] { return exited(pid); }, timeout);
  }

  std::optional<Window> waitWindow(GPid pid, std::chrono::milliseconds timeout = 60s) {
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
  bool contextReleased_ = false;
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
  // The first-paint reports, each the monotonic clock's nanoseconds when it came.
  auto paintTimes = [&] {
    std::ifstream file(paintLog);
    std::vector<long long> times;
    for (std::string line; std::getline(file, line);)
      times.push_back(std::stoll(line));
    return times;
  };
  auto paints = [&] { return paintTimes().size(); };
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

}  // namespace
}  // namespace orlith
