// The process-wide providers behind SurfaceServices.
#include "workspace/surface/gtk/DesktopSurfaceServices.h"

#include <gio/gio.h>

#include <stdexcept>

namespace orlith {

DesktopSurfaceServices::DesktopSurfaceServices()
    : preferences_(JsonFilePreferences::defaultPath()), appearance_(preferences_, environment_) {
  try {
    preferencesWatch_ =
        std::make_unique<GlibFileWatch>(preferences_.file(), [this] { preferences_.reload(); });
  } catch (const std::runtime_error&) {
    // Without a watch the copy is still brought up to date before each change is written.
  }
}

DesktopSurfaceServices& DesktopSurfaceServices::shared() {
  static DesktopSurfaceServices services;
  return services;
}

SurfaceServices DesktopSurfaceServices::services() {
  return SurfaceServices{clock_,
                         scheduler_,
                         uuids_,
                         preferences_,
                         appearance_,
                         {},
                         &DesktopSurfaceServices::openExternally,
                         {},
                         {}};
}

void DesktopSurfaceServices::openExternally(const std::string& uri) {
  g_app_info_launch_default_for_uri_async(uri.c_str(), nullptr, nullptr, nullptr, nullptr);
}

}  // namespace orlith
