// Reads the display's direct-rendering support and hands the choice to the toolkit's variable.
#include "app/gtk/ToolkitRendererSetup.h"

#include <gdk/gdk.h>
#include <glib.h>

#ifdef GDK_WINDOWING_X11
#include <gdk/x11/gdkx.h>
#endif

#include "app/ToolkitRenderer.h"

namespace orlith {
namespace {

constexpr const char* kRendererVariable = "GSK_RENDERER";
bool requested = false;

DisplayAcceleration accelerationOf(GdkDisplay* display) {
#ifdef GDK_WINDOWING_X11
  if (display != nullptr && GDK_IS_X11_DISPLAY(display)) {
    Display* x = gdk_x11_display_get_xdisplay(display);
    int opcode = 0, event = 0, error = 0;
    // Without either extension OpenGL on this server is software rendering.
    const bool direct = XQueryExtension(x, "DRI3", &opcode, &event, &error) ||
                        XQueryExtension(x, "DRI2", &opcode, &event, &error);
    return direct ? DisplayAcceleration::direct : DisplayAcceleration::none;
  }
#endif
  (void)display;
  return DisplayAcceleration::unknown;
}

}  // namespace

void ToolkitRendererSetup::apply() {
  const UserRendererChoice user =
      g_getenv(kRendererVariable) ? UserRendererChoice::made : UserRendererChoice::none;
  const auto renderer = ToolkitRenderer::choose(user, accelerationOf(gdk_display_get_default()));
  if (!renderer)
    return;
  g_setenv(kRendererVariable, renderer->c_str(), TRUE);
  requested = true;
}

void ToolkitRendererSetup::finish() {
  if (!requested)
    return;
  requested = false;
  g_unsetenv(kRendererVariable);
}

}  // namespace orlith
