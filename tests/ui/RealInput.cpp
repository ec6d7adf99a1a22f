// XTest clicks at a widget's point, translated to the screen through the window's X11 surface.
#include "RealInput.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <gdk/x11/gdkx.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <iterator>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>

#include "UiHarness.h"
#include "XErrorTrap.h"

namespace orlith::testing {

static_assert(std::is_same_v<KeySym, KeySymbol>);

namespace {

// UI test programs run side by side on one display: while one clicks, its window is on top and
// no other program raises its own. A program that holds the lock too long fails this click.
class DisplayInputLock {
 public:
  explicit DisplayInputLock(const char* displayName) {
    std::string name = "/tmp/orlith-real-input";
    for (const char* c = displayName; c && *c; ++c)
      name += (*c == '/' ? '_' : *c);
    fd_ = ::open((name + ".lock").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    if (fd_ >= 0 && !spinUntil([&] { return ::flock(fd_, LOCK_EX | LOCK_NB) == 0; },
                               std::chrono::seconds(30))) {
      ::close(fd_);
      throw std::runtime_error("another test kept the display's pointer for thirty seconds");
    }
  }
  ~DisplayInputLock() {
    if (fd_ >= 0)
      ::close(fd_);
  }
  DisplayInputLock(const DisplayInputLock&) = delete;
  DisplayInputLock& operator=(const DisplayInputLock&) = delete;

 private:
  int fd_ = -1;
};

void settle(std::chrono::milliseconds time) {
  spinUntil([] { return false; }, time);
}

std::pair<int, int> pointAtWindow(Display* display, Window window, int x, int y);

// Puts the pointer over (x, y) in `widget`'s coordinates, its window on top there; the point
// on the screen.
std::pair<int, int> pointAt(Display* display, GtkWidget* widget, double x, double y) {
  GtkNative* native = gtk_widget_get_native(widget);
  GdkSurface* surface = native ? gtk_native_get_surface(native) : nullptr;
  if (!surface || !GDK_IS_X11_SURFACE(surface))
    throw std::runtime_error("the widget is not shown on an X11 display");
  graphene_point_t inWidget = GRAPHENE_POINT_INIT(static_cast<float>(x), static_cast<float>(y));
  graphene_point_t inNative{};
  if (!gtk_widget_compute_point(widget, GTK_WIDGET(native), &inWidget, &inNative))
    throw std::runtime_error("the widget has no place in its window");
  double offsetX = 0;
  double offsetY = 0;
  gtk_native_get_surface_transform(native, &offsetX, &offsetY);
  return pointAtWindow(display, gdk_x11_surface_get_xid(surface),
                       static_cast<int>(inNative.x + offsetX),
                       static_cast<int>(inNative.y + offsetY));
}

// The same at (x, y) of an X window, also one of another program.
std::pair<int, int> pointAtWindow(Display* display, Window window, int x, int y) {
  int rootX = 0;
  int rootY = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rootX, &rootY, &child);
  // Another program's window may have been mapped over this one: raise it until it is the one
  // under the pointer.
  for (int attempt = 0;; ++attempt) {
    XRaiseWindow(display, window);
    XTestFakeMotionEvent(display, -1, rootX, rootY, CurrentTime);
    XSync(display, False);
    // The pointer's arrival is delivered before the press, as a person's would be.
    settle(std::chrono::milliseconds(100));
    Window rootReturn = 0;
    Window top = 0;
    int pointerX = 0;
    int pointerY = 0;
    unsigned int mask = 0;
    XQueryPointer(display, DefaultRootWindow(display), &rootReturn, &top, &pointerX, &pointerY,
                  &pointerX, &pointerY, &mask);
    if (top == window)
      break;
    if (attempt == 20)
      throw std::runtime_error("another window stays over the one to click");
  }
  return {rootX, rootY};
}

// Clicks the first button where the pointer is, `clicks` times, with `modifiers` held.
void clickHere(Display* display, int clicks, std::initializer_list<KeySymbol> modifiers) {
  for (KeySymbol modifier : modifiers)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, CurrentTime);
  for (int click = 0; click < clicks; ++click) {
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
  }
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, *it), False, CurrentTime);
  XSync(display, False);
  // Taken in by this program before another may raise its window.
  settle(std::chrono::milliseconds(200));
}

}  // namespace

void clickAt(GtkWidget* widget, double x, double y, int clicks,
             std::initializer_list<KeySymbol> modifiers) {
  Display* display = gdk_x11_display_get_xdisplay(gtk_widget_get_display(widget));
  DisplayInputLock lock(DisplayString(display));
  XErrorTrap trap;
  pointAt(display, widget, x, y);
  clickHere(display, clicks, modifiers);
}

void clickInWindow(unsigned long xWindow, int x, int y) {
  Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  DisplayInputLock lock(DisplayString(display));
  XErrorTrap trap;
  pointAtWindow(display, xWindow, x, y);
  clickHere(display, 1, {});
}

void dragAt(GtkWidget* widget, double x, double y, double dx, double dy) {
  Display* display = gdk_x11_display_get_xdisplay(gtk_widget_get_display(widget));
  DisplayInputLock lock(DisplayString(display));
  XErrorTrap trap;
  const auto [rootX, rootY] = pointAt(display, widget, x, y);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XSync(display, False);
  settle(std::chrono::milliseconds(100));
  constexpr int kSteps = 10;
  for (int step = 1; step <= kSteps; ++step) {
    XTestFakeMotionEvent(display, -1, rootX + static_cast<int>(dx * step / kSteps),
                         rootY + static_cast<int>(dy * step / kSteps), CurrentTime);
    XSync(display, False);
    settle(std::chrono::milliseconds(30));
  }
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
  settle(std::chrono::milliseconds(200));
}

void pressKeys(std::initializer_list<KeySymbol> modifiers, KeySymbol key) {
  Display* display = gdk_x11_display_get_xdisplay(gdk_display_get_default());
  XErrorTrap trap;
  for (KeySymbol modifier : modifiers)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, modifier), True, CurrentTime);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
  XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), False, CurrentTime);
  for (auto it = std::rbegin(modifiers); it != std::rend(modifiers); ++it)
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, *it), False, CurrentTime);
  XFlush(display);
  settle(std::chrono::milliseconds(150));
}

}  // namespace orlith::testing
