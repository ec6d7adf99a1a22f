// The rules of one tab's container: which overlay lies over the web view, the error view's
// texts, the stored page zoom, and the session a tab's web view is built for.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Preferences.h"
#include "workspace/surface/WebEngineView.h"
#include "workspace/surface/WorkspaceSurfaceCoordinator.h"

namespace orlith {

class WorkspaceSession;

enum class ContainerOverlay { none, startupCover, error };

// Failed wins over ready: a failed load shows the error view even when the page said ready.
ContainerOverlay containerOverlay(bool isReady, bool didFailToLoad);

struct WorkspaceErrorContent {
  std::string iconName;
  std::string title;
  std::string detail;

  static constexpr std::string_view kOfflineTitle = "You're offline";
  static constexpr std::string_view kFailedTitle = "Couldn't load Orlith";
  static constexpr std::string_view kOfflineDetail =
      "Check your internet connection and try again.";
  static constexpr std::string_view kFailedDetail =
      "Something interrupted the connection. Try reloading.";
  static constexpr std::string_view kReloadLabel = "Reload";
  static constexpr std::string_view kLoadingLabel = "Loading Orlith";

  // A detail given replaces only the second line.
  static WorkspaceErrorContent make(bool isOffline, const std::optional<std::string>& detail);
  friend bool operator==(const WorkspaceErrorContent&, const WorkspaceErrorContent&) = default;
};

struct PageZoom {
  static constexpr std::string_view kKey = "orlith.pageZoom";
  static constexpr double kMinimum = 0.5;
  static constexpr double kMaximum = 3.0;

  // Absent, zero, negative or NaN: 1.0; otherwise clamped into 0.5 ... 3.0.
  static double fromStored(std::optional<double> stored);
  // Reads the stored zoom afresh and sets it on the view when it differs from the view's own.
  // Returns whether it set it.
  static bool apply(WebEngineView& view, const Preferences& preferences);
};

// The session a tab's web view belongs to, bound to the revision current now: the page's
// session-bound messages count only while the state is authenticated at that same revision,
// and a session end asks for an unforced recovery of that revision, posted to the main queue
// because the web view reports it from inside an engine callback.
SurfaceSession makeSurfaceSession(const std::shared_ptr<WorkspaceSession>& session);

}  // namespace orlith
