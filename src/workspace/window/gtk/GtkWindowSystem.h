// WindowSystem over GTK: follows the window a widget is in (its root) and that window's surface.
#pragma once

#include <gtk/gtk.h>

#include "workspace/window/WindowSystem.h"

namespace orlith {

class GtkWindowSystem final : public WindowSystem {
 public:
  // Watches `widget` without keeping it alive; once it is gone the view has no window.
  explicit GtkWindowSystem(GtkWidget* widget);
  ~GtkWindowSystem() override;
  GtkWindowSystem(const GtkWindowSystem&) = delete;
  GtkWindowSystem& operator=(const GtkWindowSystem&) = delete;

  bool hasWindow() const override;
  bool isActive() const override;
  bool isMinimized() const override;
  bool isFullscreen() const override;

 private:
  GtkWindow* window() const { return window_; }
  GdkToplevel* toplevel() const;
  void followRoot();
  void followSurface();
  void releaseWindow();
  void forgetWindow();
  void releaseSurface();
  void emitChanged() { changed_.emit(); }

  static void onRoot(GObject*, GParamSpec*, gpointer data);
  static void onWindowState(GObject*, GParamSpec*, gpointer data);
  static void onRealizeChanged(GtkWidget*, gpointer data);
  static void onSurfaceState(GObject*, GParamSpec*, gpointer data);
  static void onWidgetGone(gpointer data, GObject*);
  static void onWindowGone(gpointer data, GObject*);
  static void onSurfaceGone(gpointer data, GObject*);

  GtkWidget* widget_ = nullptr;
  gulong rootHandler_ = 0;
  GtkWindow* window_ = nullptr;
  gulong windowHandlers_[4] = {};
  GdkSurface* surface_ = nullptr;
  gulong surfaceHandler_ = 0;
};

}  // namespace orlith
