// Tracks the widget's root window and its toplevel surface through weak references and signal
// handlers; it decides nothing.
#include "workspace/window/gtk/GtkWindowSystem.h"

namespace orlith {

GtkWindowSystem::GtkWindowSystem(GtkWidget* widget) : widget_(widget) {
  g_object_weak_ref(G_OBJECT(widget_), onWidgetGone, this);
  rootHandler_ = g_signal_connect(widget_, "notify::root", G_CALLBACK(onRoot), this);
  followRoot();
}

GtkWindowSystem::~GtkWindowSystem() {
  releaseWindow();
  if (widget_) {
    g_signal_handler_disconnect(widget_, rootHandler_);
    g_object_weak_unref(G_OBJECT(widget_), onWidgetGone, this);
  }
}

bool GtkWindowSystem::hasWindow() const {
  return window_ != nullptr;
}

bool GtkWindowSystem::isActive() const {
  return window_ && gtk_window_is_active(window_);
}

bool GtkWindowSystem::isMinimized() const {
  GdkToplevel* surface = toplevel();
  return surface && (gdk_toplevel_get_state(surface) & GDK_TOPLEVEL_STATE_MINIMIZED) != 0;
}

bool GtkWindowSystem::isFullscreen() const {
  return window_ && gtk_window_is_fullscreen(window_);
}

GdkToplevel* GtkWindowSystem::toplevel() const {
  return surface_ && GDK_IS_TOPLEVEL(surface_) ? GDK_TOPLEVEL(surface_) : nullptr;
}

void GtkWindowSystem::followRoot() {
  GtkRoot* root = widget_ ? gtk_widget_get_root(widget_) : nullptr;
  GtkWindow* window = root && GTK_IS_WINDOW(root) ? GTK_WINDOW(root) : nullptr;
  if (window == window_)
    return;
  releaseWindow();
  window_ = window;
  if (window_) {
    g_object_weak_ref(G_OBJECT(window_), onWindowGone, this);
    windowHandlers_[0] =
        g_signal_connect(window_, "notify::is-active", G_CALLBACK(onWindowState), this);
    windowHandlers_[1] =
        g_signal_connect(window_, "notify::fullscreened", G_CALLBACK(onWindowState), this);
    windowHandlers_[2] = g_signal_connect(window_, "realize", G_CALLBACK(onRealizeChanged), this);
    windowHandlers_[3] =
        g_signal_connect_after(window_, "unrealize", G_CALLBACK(onRealizeChanged), this);
    followSurface();
  }
}

void GtkWindowSystem::followSurface() {
  GdkSurface* surface = window_ && gtk_widget_get_realized(GTK_WIDGET(window_))
                            ? gtk_native_get_surface(GTK_NATIVE(window_))
                            : nullptr;
  if (surface == surface_)
    return;
  releaseSurface();
  surface_ = surface;
  if (surface_) {
    g_object_weak_ref(G_OBJECT(surface_), onSurfaceGone, this);
    surfaceHandler_ = g_signal_connect(surface_, "notify::state", G_CALLBACK(onSurfaceState), this);
  }
}

void GtkWindowSystem::releaseSurface() {
  if (!surface_)
    return;
  g_signal_handler_disconnect(surface_, surfaceHandler_);
  g_object_weak_unref(G_OBJECT(surface_), onSurfaceGone, this);
  surface_ = nullptr;
  surfaceHandler_ = 0;
}

void GtkWindowSystem::releaseWindow() {
  releaseSurface();
  if (!window_)
    return;
  for (gulong& handler : windowHandlers_) {
    g_signal_handler_disconnect(window_, handler);
    handler = 0;
  }
  g_object_weak_unref(G_OBJECT(window_), onWindowGone, this);
  window_ = nullptr;
}

void GtkWindowSystem::onRoot(GObject*, GParamSpec*, gpointer data) {
  auto* self = static_cast<GtkWindowSystem*>(data);
  self->followRoot();
  self->emitChanged();
}

void GtkWindowSystem::onWindowState(GObject*, GParamSpec*, gpointer data) {
  static_cast<GtkWindowSystem*>(data)->emitChanged();
}

void GtkWindowSystem::onRealizeChanged(GtkWidget*, gpointer data) {
  auto* self = static_cast<GtkWindowSystem*>(data);
  self->followSurface();
  self->emitChanged();
}

void GtkWindowSystem::onSurfaceState(GObject*, GParamSpec*, gpointer data) {
  static_cast<GtkWindowSystem*>(data)->emitChanged();
}

// A dying object has lost its handlers and is notifying its weak references: nothing is
// disconnected or unreferenced on it any more.
void GtkWindowSystem::onWidgetGone(gpointer data, GObject* dying) {
  auto* self = static_cast<GtkWindowSystem*>(data);
  self->widget_ = nullptr;
  self->rootHandler_ = 0;
  if (G_OBJECT(self->window_) == dying)
    self->forgetWindow();
  else
    self->releaseWindow();
  self->emitChanged();
}

void GtkWindowSystem::onWindowGone(gpointer data, GObject*) {
  auto* self = static_cast<GtkWindowSystem*>(data);
  self->forgetWindow();
  self->emitChanged();
}

void GtkWindowSystem::forgetWindow() {
  releaseSurface();
  window_ = nullptr;
  for (gulong& handler : windowHandlers_)
    handler = 0;
}

void GtkWindowSystem::onSurfaceGone(gpointer data, GObject*) {
  auto* self = static_cast<GtkWindowSystem*>(data);
  self->surface_ = nullptr;
  self->surfaceHandler_ = 0;
}

}  // namespace orlith
