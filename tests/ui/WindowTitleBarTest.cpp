// The main window's top edge on X11: the signed-in page starts right under the chrome, which is
// the window's title bar (a drag on its empty part asks the window manager to move the window, a
// double-click to maximise it) with the window's buttons at the side the desktop's layout
// names; the screens without chrome get a draggable strip with the buttons; full screen keeps
// the chrome; the hidden menu bar comes with F10 or a lone Alt and goes again.
#include <gmock/gmock.h>

#include <optional>
#include <string>
#include <vector>

#include "RealInput.h"
#include "WorkspaceWindowFixture.h"
#include "app/gtk/ApplicationShell.h"
#include "support/RecordingUpdateClient.h"

// X last: its macros clash with the toolkit's C++ headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <gdk/x11/gdkx.h>

namespace orlith {
namespace {

using namespace std::chrono_literals;

// _NET_WM_MOVERESIZE_MOVE
constexpr long kMove = 8;

struct Bounds {
  double x = 0, y = 0, width = 0, height = 0;
  double right() const { return x + width; }
  double bottom() const { return y + height; }
};

Bounds boundsIn(Gtk::Widget& widget, Gtk::Widget& target) {
  graphene_rect_t rect;
  if (!gtk_widget_compute_bounds(widget.gobj(), target.gobj(), &rect))
    return {};
  return {rect.origin.x, rect.origin.y, rect.size.width, rect.size.height};
}

void setDecorationLayout(const char* layout) {
  g_object_set(gtk_settings_get_default(), "gtk-decoration-layout", layout, nullptr);
}

// Stands in for a window manager that supports moving and maximising by request, for as long as
// it lives, and hears the requests on the root window. Xvfb has none of its own.
class RequestWatcher {
 public:
  RequestWatcher() : display_(XOpenDisplay(nullptr)) {
    const Window root = DefaultRootWindow(display_);
    check_ = XCreateSimpleWindow(display_, root, -10, -10, 1, 1, 0, 0, 0);
    const Atom supportingCheck = atom("_NET_SUPPORTING_WM_CHECK");
    XChangeProperty(display_, check_, supportingCheck, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&check_), 1);
    XChangeProperty(display_, root, supportingCheck, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&check_), 1);
    Atom supported[] = {atom("_NET_WM_MOVERESIZE"), atom("_NET_WM_STATE"),
                        atom("_NET_WM_STATE_MAXIMIZED_VERT"), atom("_NET_WM_STATE_MAXIMIZED_HORZ")};
    XChangeProperty(display_, root, atom("_NET_SUPPORTED"), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(supported), 4);
    // Requests go to the root window for its substructure: a listener there hears them without
    // being the window manager.
    XSelectInput(display_, root, SubstructureNotifyMask);
    XSync(display_, False);
  }

  ~RequestWatcher() {
    const Window root = DefaultRootWindow(display_);
    XDeleteProperty(display_, root, atom("_NET_SUPPORTED"));
    XDeleteProperty(display_, root, atom("_NET_SUPPORTING_WM_CHECK"));
    // The toolkit watches the check window: its end tells it the window manager left.
    XDestroyWindow(display_, check_);
    XCloseDisplay(display_);
    testing::spinUntil([] { return false; }, 300ms);
  }

  // Whether the toolkit sees this window manager; it looks at most every 15 s.
  bool seen(std::chrono::milliseconds timeout) {
    GdkDisplay* display = gdk_display_get_default();
    return testing::spinUntil(
        [&] {
          return gdk_x11_screen_supports_net_wm_hint(gdk_x11_display_get_screen(display),
                                                     "_NET_WM_MOVERESIZE");
        },
        timeout);
  }

  // The client messages of `type` for `window` heard since the last call; with `action`, only
  // those whose third value is it (a move request is followed by a cancel when no window
  // manager takes the pointer).
  std::vector<XClientMessageEvent> requests(const char* type, Window window,
                                            std::optional<long> action = std::nullopt) {
    testing::spinUntil([] { return false; }, 300ms);
    std::vector<XClientMessageEvent> found;
    const Atom wanted = atom(type);
    while (XPending(display_)) {
      XEvent event;
      XNextEvent(display_, &event);
      if (event.type == ClientMessage && event.xclient.message_type == wanted &&
          event.xclient.window == window && (!action || event.xclient.data.l[2] == *action))
        found.push_back(event.xclient);
    }
    return found;
  }

  Atom atom(const char* name) { return XInternAtom(display_, name, False); }
  std::string name(Atom atom) {
    if (atom == None)
      return {};
    char* text = XGetAtomName(display_, atom);
    std::string result = text ? text : "";
    if (text)
      XFree(text);
    return result;
  }

 private:
  Display* display_;
  Window check_ = 0;
};

Window xidOf(Gtk::Window& window) {
  return gdk_x11_surface_get_xid(window.get_surface()->gobj());
}

class WindowTitleBar : public testing::WorkspaceWindowFixture {
 protected:
  MainWindow& signedInWindow() {
    launch();
    signIn(testing::kDemoAccount);
    MainWindow& window = openWindow();
    EXPECT_TRUE(waitReady(window, window.tabs()->selectedTab(), 60s));
    return window;
  }

  MainWindow& signedOutWindow() {
    launch();
    MainWindow& window = openWindow();
    EXPECT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 20s));
    return window;
  }

  // Lets layout and drawing catch up.
  static void settle(Gtk::Window& window) {
    gtk_test_widget_wait_for_draw(GTK_WIDGET(window.gobj()));
    testing::spinUntil([] { return false; }, 300ms);
  }
};

TEST_F(WindowTitleBar, TheSignedInPageStartsRightUnderTheChromeAtTheTopOfTheFrame) {
  setDecorationLayout(":minimize,maximize,close");
  MainWindow& window = signedInWindow();
  settle(window);
  int width = 0, height = 0;
  window.get_default_size(width, height);
  EXPECT_EQ(std::make_pair(width, height),
            std::make_pair(MainWindow::kDefaultWidth, MainWindow::kDefaultHeight));
  WorkspaceChrome& chrome = window.workspace()->chrome();
  auto* page = Glib::wrap(GTK_WIDGET(webViewOf(window, window.tabs()->selectedTab())));
  // The window's own coordinates start at its visible frame, inside any shadow.
  EXPECT_LE(boundsIn(chrome, window).y, 1);
  const Bounds pageBounds = boundsIn(*page, window);
  EXPECT_GT(pageBounds.height, 0);
  EXPECT_LE(pageBounds.y, 52) << "the page starts " << pageBounds.y << " px below the top";
  EXPECT_FALSE(window.menuBar().get_visible());
  EXPECT_FALSE(window.topStrip().get_visible());
  testing::saveScreen("signed-in-window");
}

struct LayoutCase {
  const char* name;
  const char* layout;
  Gtk::PackType side;
};

class WindowButtons : public WindowTitleBar, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(WindowButtons, StandAtTheSideTheLayoutNamesInTheChromeAndOverTheSignInScreen) {
  const LayoutCase& param = GetParam();
  setDecorationLayout(param.layout);
  const Gtk::PackType other =
      param.side == Gtk::PackType::START ? Gtk::PackType::END : Gtk::PackType::START;

  MainWindow& window = signedInWindow();
  settle(window);
  WorkspaceChrome& chrome = window.workspace()->chrome();
  Gtk::WindowControls& controls = chrome.windowControls(param.side);
  ASSERT_TRUE(controls.get_visible());
  EXPECT_FALSE(chrome.windowControls(other).get_visible());
  const Bounds buttons = boundsIn(controls, chrome);
  EXPECT_GT(buttons.width, 40) << "the minimise, maximise and close buttons";
  EXPECT_GE(buttons.y, 0);
  EXPECT_LE(buttons.bottom(), 34);
  const Bounds slot = boundsIn(chrome.leadingSlot(), chrome);
  const Bounds back = boundsIn(chrome.navCluster().backButton(), chrome);
  const Bounds account = boundsIn(chrome.accountMenu(), chrome);
  if (param.side == Gtk::PackType::START) {
    EXPECT_GE(buttons.x, slot.x);
    EXPECT_LE(buttons.right(), slot.right());
    EXPECT_GE(slot.width, 78);
    EXPECT_NEAR(back.x, slot.right(), 1) << "navigation follows the slot";
  } else {
    EXPECT_NEAR(slot.width, 78, 0.5) << "the slot keeps its width";
    EXPECT_GE(buttons.x, account.right());
    EXPECT_NEAR(buttons.right(), chrome.get_width(), 8);
  }
  testing::saveScreen(std::string("chrome-buttons-") + param.name);

  // Signed out: the buttons stand in the top corner of the sign-in screen.
  context_->sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 20s));
  settle(window);
  ASSERT_TRUE(window.topStrip().get_visible());
  Gtk::WindowControls& corner = window.windowControls(param.side);
  ASSERT_TRUE(corner.get_visible());
  EXPECT_FALSE(window.windowControls(other).get_visible());
  const Bounds inCorner = boundsIn(corner, window);
  EXPECT_LE(inCorner.y, 10);
  if (param.side == Gtk::PackType::START)
    EXPECT_LE(inCorner.x, 10);
  else
    EXPECT_GE(inCorner.right(), window.get_width() - 10);
  if (Gtk::Widget* indicator = window.updateIndicator(); indicator && indicator->get_visible()) {
    const Bounds badge = boundsIn(*indicator, window);
    EXPECT_TRUE(badge.right() <= inCorner.x || badge.x >= inCorner.right())
        << "the update indicator stays clear of the buttons";
  }
  testing::saveScreen(std::string("sign-in-buttons-") + param.name);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, WindowButtons,
    ::testing::Values(LayoutCase{"Start", "close,minimize,maximize:", Gtk::PackType::START},
                      LayoutCase{"End", "icon:minimize,maximize,close", Gtk::PackType::END}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WindowTitleBar, ADragOnTheChromesEmptyPartOrTheTopStripMovesTheWindow) {
  setDecorationLayout(":minimize,maximize,close");
  RequestWatcher manager;
  ASSERT_TRUE(manager.seen(20s));
  MainWindow& window = signedInWindow();
  settle(window);
  const Window xid = xidOf(window);
  WorkspaceChrome& chrome = window.workspace()->chrome();
  // The empty leading slot and the strip's empty part beside the tabs.
  const Bounds slot = boundsIn(chrome.leadingSlot(), chrome);
  manager.requests("_NET_WM_MOVERESIZE", xid);
  testing::dragAt(GTK_WIDGET(chrome.gobj()), slot.x + slot.width / 2, 17, 60, 40);
  auto moves = manager.requests("_NET_WM_MOVERESIZE", xid, kMove);
  ASSERT_EQ(moves.size(), 1u) << "one move request";

  // A double-click there asks to maximise.
  testing::clickAt(GTK_WIDGET(chrome.gobj()), slot.x + slot.width / 2, 17, 2);
  std::vector<std::string> asked;
  for (const auto& state : manager.requests("_NET_WM_STATE", xid)) {
    for (int i : {1, 2})
      asked.push_back(manager.name(static_cast<Atom>(state.data.l[i])));
  }
  EXPECT_THAT(asked, ::testing::IsSupersetOf(
                         {"_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ"}));

  context_->sessionStore().signOut();
  ASSERT_TRUE(testing::spinUntil([&] { return window.signInView() != nullptr; }, 20s));
  settle(window);
  testing::dragAt(GTK_WIDGET(window.topStrip().gobj()), window.get_width() / 2.0, 12, -50, 30);
  moves = manager.requests("_NET_WM_MOVERESIZE", xid, kMove);
  EXPECT_EQ(moves.size(), 1u) << "the sign-in screen's top strip moves the window too";
}

TEST_F(WindowTitleBar, FullScreenKeepsTheChromeWithANarrowSlotAndNoButtons) {
  setDecorationLayout("close,minimize,maximize:");
  launch();
  signIn(testing::kDemoAccount);
  MainWindow::Options options;
  options.openWindow = [] {};
  windows_.push_back(std::make_unique<WindowHolder>(
      new MainWindow(*context_, WorkspaceNetworkSession::shared(), std::move(options))));
  MainWindow& window = *windows_.back()->window;
  // Without a window manager the request is granted at once when made before the window shows.
  window.fullscreen();
  testing::presentAndWait(GTK_WINDOW(window.gobj()));
  ASSERT_TRUE(testing::spinUntil([&] { return window.is_fullscreen(); }, 10s));
  ASSERT_TRUE(waitReady(window, window.tabs()->selectedTab(), 60s));
  settle(window);
  WorkspaceChrome& chrome = window.workspace()->chrome();
  ASSERT_TRUE(chrome.get_mapped());
  EXPECT_LE(boundsIn(chrome, window).y, 1);
  EXPECT_NEAR(chrome.get_height(), 34, 1);
  ASSERT_TRUE(testing::spinUntil([&] { return chrome.leadingSlot().get_width() == 12; }, 5s));
  EXPECT_FALSE(chrome.windowControls(Gtk::PackType::START).get_visible());
  EXPECT_FALSE(chrome.windowControls(Gtk::PackType::END).get_visible());
  auto* page = Glib::wrap(GTK_WIDGET(webViewOf(window, window.tabs()->selectedTab())));
  EXPECT_GE(boundsIn(*page, window).y, 34);
  testing::saveScreen("full-screen");
}

class MenuBarKeysOnWindow : public WindowTitleBar {
 protected:
  void TearDown() override {
    WindowTitleBar::TearDown();
    shell_.reset();
    if (application_)
      application_->release();
  }

  // A signed-in window with the shell's menu and actions, active, its page focused.
  MainWindow& start() {
    launch();
    signIn(testing::kDemoAccount);
    application_ =
        Gtk::Application::create("com.tolvik.orlith.menubartest" + std::to_string(getpid()),
                                 Gio::Application::Flags::NON_UNIQUE);
    EXPECT_TRUE(application_->register_application());
    ApplicationShell::Options options;
    options.openWindow = [] {};
    shell_ = std::make_unique<ApplicationShell>(*application_.get(), *context_, options);
    shell_->startup();
    MainWindow& window = openWindow();
    application_->add_window(window);
    shell_->attachWindow(window);
    EXPECT_TRUE(waitReady(window, window.tabs()->selectedTab(), 60s));
    return window;
  }

  void focusPage(MainWindow& window) {
    ASSERT_TRUE(testing::activate(GTK_WINDOW(window.gobj()), 20s));
    auto* page = GTK_WIDGET(webViewOf(window, window.tabs()->selectedTab()));
    gtk_widget_grab_focus(page);
    ASSERT_TRUE(testing::spinUntil([&] { return gtk_widget_has_focus(page); }, 5s));
  }

  // The menu of the bar whose popover is open, by its title; empty when none is.
  static std::string openMenu(MainWindow& window) {
    for (Gtk::Widget* item = window.menuBar().get_first_child(); item;
         item = item->get_next_sibling()) {
      for (Gtk::Widget* child = item->get_first_child(); child; child = child->get_next_sibling()) {
        if (dynamic_cast<Gtk::Popover*>(child) && child->get_mapped()) {
          auto* label = dynamic_cast<Gtk::Label*>(item->get_first_child());
          return label ? label->get_text().raw() : "?";
        }
      }
    }
    return {};
  }

  Glib::RefPtr<Gtk::Application> application_;
  std::unique_ptr<ApplicationShell> shell_;
};

TEST_F(MenuBarKeysOnWindow, F10AndALoneAltShowTheMenuBarWithTheKeyboardAndTheyOrAChoiceHideIt) {
  MainWindow& window = start();
  auto* page = GTK_WIDGET(webViewOf(window, window.tabs()->selectedTab()));
  auto shows = [&](bool shown) {
    return testing::spinUntil([&] { return window.menuBar().get_visible() == shown; }, 5s);
  };

  struct Toggle {
    const char* name;
    testing::KeySymbol open, close;
  };
  for (const Toggle& toggle : {Toggle{"F10", XK_F10, XK_F10}, Toggle{"Alt", XK_Alt_L, XK_Alt_L},
                               Toggle{"F10 then Escape", XK_F10, XK_Escape},
                               Toggle{"Alt then Escape", XK_Alt_L, XK_Escape}}) {
    SCOPED_TRACE(toggle.name);
    focusPage(window);
    testing::pressKeys({}, toggle.open);
    ASSERT_TRUE(shows(true));
    ASSERT_TRUE(testing::spinUntil([&] { return openMenu(window) == "Orlith"; }, 5s))
        << "the first menu opens with the keyboard in it: " << openMenu(window);
    testing::pressKeys({}, toggle.close);
    ASSERT_TRUE(shows(false));
    EXPECT_TRUE(testing::spinUntil([&] { return gtk_widget_has_focus(page); }, 5s))
        << "the keyboard goes back to the page";
  }

  // Alt held for another key or a click shows nothing.
  focusPage(window);
  testing::pressKeys({XK_Alt_L}, XK_Tab);
  testing::clickAt(page, 200, 200, 1, {XK_Alt_L});
  testing::spinUntil([] { return false; }, 500ms);
  EXPECT_FALSE(window.menuBar().get_visible());

  // A choice made with the keyboard acts and hides the bar: File ▸ New Tab.
  focusPage(window);
  testing::pressKeys({}, XK_F10);
  ASSERT_TRUE(testing::spinUntil([&] { return openMenu(window) == "Orlith"; }, 5s));
  testing::pressKeys({}, XK_Right);
  ASSERT_TRUE(testing::spinUntil([&] { return openMenu(window) == "File"; }, 5s));
  // The menu opens on its first item, "New Window".
  testing::pressKeys({}, XK_Down);
  testing::saveScreen("menu-bar-file");
  testing::pressKeys({}, XK_Return);
  ASSERT_TRUE(testing::spinUntil([&] { return window.tabs()->tabs().size() == 2; }, 5s));
  EXPECT_TRUE(shows(false));
}

}  // namespace
}  // namespace orlith
