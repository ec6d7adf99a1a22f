// The three page scripts of a workspace tab filled for one environment, their installation,
// and the small scripts the native side evaluates in the page.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Json.h"
#include "base/Url.h"
#include "session/OrlithEnvironment.h"
#include "workspace/surface/PageTheme.h"
#include "workspace/surface/UserContentController.h"

namespace orlith {

class WebSurfaceScripts {
 public:
  // Tells the readiness script whether the tab is shown; call with "true" or "false".
  static constexpr std::string_view kSurfaceActiveCallPrefix =
      "window.__orlithSurfaceActive && window.__orlithSurfaceActive(";
  // A function body for the readiness world, called with the arguments "ticket" and "origin".
  static constexpr std::string_view kArmSurfaceFunctionBody =
      "window.__orlithArmSurface && window.__orlithArmSurface(ticket, origin);";
  // Returns {theme, href} of the page, for parseThemeProbe().
  static constexpr std::string_view kThemeProbeScript =
      "(() => ({ theme: document.documentElement && "
      "document.documentElement.classList.contains('dark') ? 'dark' : 'light', "
      "href: location.href }))()";

  // `hosts` are the build's fixed service hosts; tests give their own.
  WebSurfaceScripts(const OrlithEnvironment& environment, std::string_view appVersion,
                    const ServiceHosts& hosts = ServiceHosts::fromBuild());

  // The page origins the scripts run on, as `location.origin` writes them: the service host
  // and its "www." twin over https, plus the environment's own origin when it is local.
  static std::vector<std::string> allowedOrigins(const OrlithEnvironment& environment,
                                                 const ServiceHosts& hosts);

  std::string themeSeed(PageTheme theme) const;
  const std::string& bridgeBootstrap() const { return bridgeBootstrap_; }
  const std::string& readiness() const { return readiness_; }

  // Replaces every script of `controller`: theme seed and bridge in the page world, readiness
  // in its own world; all at document start, top frame only.
  void installUserScripts(UserContentController& controller, PageTheme theme) const;

  // The page's answer to kThemeProbeScript, accepted only for `expectedURL` under "/app".
  static std::optional<PageTheme> parseThemeProbe(const std::optional<Json>& result,
                                                  const Url& expectedURL);

  // The arguments of kArmSurfaceFunctionBody for a committed document: its ticket, and its
  // origin as the page's `location.origin` writes it (no default port), which is what the
  // script compares. None when the document has no web origin.
  static std::optional<Json> armSurfaceArguments(std::string_view ticket, const Url& documentURL);

  // "window.__orlithSurfaceActive && window.__orlithSurfaceActive(true);" or with false.
  static std::string surfaceActiveScript(bool active);

  // The expression that hands one desktop command to the page: false unless the page is on
  // the service origin and has set window.__orlithDesktopCommandReady, else it dispatches
  // 'orlith:desktop-command' with `commandJson` as the detail and gives true.
  static std::string desktopCommandScript(std::string_view originString,
                                          std::string_view commandJson);

 private:
  std::string originsLiteral_;
  std::string bridgeBootstrap_;
  std::string readiness_;
};

}  // namespace orlith
