// The process's own providers of what a workspace tab uses: clocks and timers on the main
// loop, UUIDs, the preferences file (following other processes' writes), the desktop's
// appearance and its URL handler.
#pragma once

#include <memory>

#include "base/Clock.h"
#include "base/JsonFilePreferences.h"
#include "base/Uuid.h"
#include "platform/glib/GlibFileWatch.h"
#include "platform/glib/GlibScheduler.h"
#include "workspace/surface/OrlithAppearancePreference.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"
#include "workspace/surface/gtk/PortalAppearanceEnvironment.h"

namespace orlith {

class DesktopSurfaceServices {
 public:
  // Made on first use on the main thread; lives for the process.
  static DesktopSurfaceServices& shared();

  Clock& clock() { return clock_; }
  Scheduler& scheduler() { return scheduler_; }
  UuidSource& uuids() { return uuids_; }
  Preferences& preferences() { return preferences_; }
  AppearanceSettings& appearance() { return appearance_; }
  // Diagnostics and the cookie bootstrap are left for the caller to add.
  SurfaceServices services();

  // Opens `uri` with the desktop's default handler; the result is not awaited.
  static void openExternally(const std::string& uri);

 private:
  DesktopSurfaceServices();

  SystemClock clock_;
  GlibScheduler scheduler_;
  RandomUuidSource uuids_;
  JsonFilePreferences preferences_;
  // Another process of the same user may write the file too.
  std::unique_ptr<GlibFileWatch> preferencesWatch_;
  PortalAppearanceEnvironment environment_;
  AppearanceSettings appearance_;
};

}  // namespace orlith
