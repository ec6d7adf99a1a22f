// The desktop's light/dark state from the XDG Settings portal ("color-scheme"), and the app's
// own appearance applied through GtkSettings. Without a portal the desktop counts as light.
#pragma once

#include <gio/gio.h>

#include "platform/glib/GObjectPtr.h"
#include "workspace/surface/AppearanceEnvironment.h"

namespace orlith {

class PortalAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  PortalAppearanceEnvironment();
  ~PortalAppearanceEnvironment() override;
  PortalAppearanceEnvironment(const PortalAppearanceEnvironment&) = delete;
  PortalAppearanceEnvironment& operator=(const PortalAppearanceEnvironment&) = delete;

  bool systemIsDark() const override { return systemIsDark_; }
  void setAppAppearance(AppAppearance appearance) override;
  AppAppearance appAppearance() const override { return appearance_; }

 private:
  static void settingChanged(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                             const gchar*, GVariant* parameters, gpointer self);
  void apply() const;

  GObjectPtr<GDBusConnection> bus_;
  guint subscription_ = 0;
  bool systemIsDark_ = false;
  AppAppearance appearance_ = AppAppearance::system;
};

}  // namespace orlith
