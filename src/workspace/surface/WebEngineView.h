// What the tab model, the policies and the window need of one tab's web view: loading,
// reloading, history, zoom, focus, the current address and scripts evaluated in a world. The
// WebKitGTK adapter implements it.
#pragma once

#include <optional>
#include <string>

#include "base/Json.h"
#include "base/Task.h"
#include "base/Url.h"
#include "workspace/surface/UserContentController.h"

namespace orlith {

enum class ReloadCache { use, bypass };

class WebEngineView {
 public:
  virtual ~WebEngineView() = default;

  virtual void load(const Url& url) = 0;
  virtual void reload(ReloadCache cache) = 0;
  virtual void stopLoading() = 0;
  virtual bool canGoBack() const = 0;
  virtual bool canGoForward() const = 0;
  // Each does nothing when there is no page in that direction.
  virtual void goBack() = 0;
  virtual void goForward() = 0;
  // The page zoom; 1.0 is the page's own size.
  virtual double zoomLevel() const = 0;
  virtual void setZoomLevel(double level) = 0;
  // Gives the page the keyboard focus within its window.
  virtual void focus() = 0;
  // Whether the view is visible (itself and every ancestor) in the window that is active now.
  virtual bool isShownInActiveWindow() const = 0;
  // The address of the main frame as the engine reports it; none before the first load.
  virtual std::optional<std::string> currentUri() const = 0;

  // The script's value as JSON; none for undefined, a value that has no JSON form, or an
  // error. The task stays valid when the view goes away before it ends (it then gives none)
  // and never throws but TaskCancelled.
  virtual Task<std::optional<Json>> evaluateScript(std::string source, ScriptWorld world) = 0;
  // Calls a function body with named arguments (a JSON object) in `world`; same result rules.
  virtual Task<std::optional<Json>> callFunction(std::string body, Json arguments,
                                                 ScriptWorld world) = 0;
};

}  // namespace orlith
