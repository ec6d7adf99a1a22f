// Filling and installing the page scripts.
#include "workspace/surface/WebSurfaceScripts.h"

#include <algorithm>

#include "session/OrlithWire.h"
#include "workspace/surface/EmbeddedScripts.h"
#include "workspace/surface/WebOrigin.h"

namespace orlith {
namespace {

constexpr std::string_view kOriginsPlaceholder = "__ORLITH_ORIGINS__";
constexpr std::string_view kThemePlaceholder = "__ORLITH_THEME__";
constexpr std::string_view kVersionPlaceholder = "__ORLITH_VERSION__";
constexpr std::string_view kPlatformPlaceholder = "__ORLITH_PLATFORM__";

// ASCII-escaped JSON is a safe JavaScript expression; bytes that are not UTF-8 are replaced.
std::string jsLiteral(const Json& value) {
  return value.dump(-1, ' ', true, Json::error_handler_t::replace);
}

std::string fillPlaceholder(std::string_view text, std::string_view placeholder,
                            std::string_view replacement) {
  std::string filled;
  std::size_t start = 0;
  for (std::size_t at = text.find(placeholder); at != std::string_view::npos;
       at = text.find(placeholder, start)) {
    filled.append(text.substr(start, at - start));
    filled.append(replacement);
    start = at + placeholder.size();
  }
  filled.append(text.substr(start));
  return filled;
}

bool isLocalHost(std::string_view host) {
  return host == "localhost" || host == "127.0.0.1";
}

}  // namespace

WebSurfaceScripts::WebSurfaceScripts(const OrlithEnvironment& environment,
                                     std::string_view appVersion, const ServiceHosts& hosts)
    : originsLiteral_(jsLiteral(allowedOrigins(environment, hosts))) {
  std::string bridge =
      fillPlaceholder(scripts::kBridgeBootstrapJs, kOriginsPlaceholder, originsLiteral_);
  bridge = fillPlaceholder(bridge, kPlatformPlaceholder, jsLiteral(wire::kBridgePlatform));
  bridgeBootstrap_ = fillPlaceholder(bridge, kVersionPlaceholder, jsLiteral(appVersion));
  readiness_ = fillPlaceholder(scripts::kSurfaceReadinessJs, kOriginsPlaceholder, originsLiteral_);
}

std::vector<std::string> WebSurfaceScripts::allowedOrigins(const OrlithEnvironment& environment,
                                                           const ServiceHosts& hosts) {
  std::vector<std::string> origins = {"https://" + hosts.host, "https://" + hosts.wwwHost};
  const Url& origin = environment.origin();
  if (origin.lowercasedHost() && isLocalHost(*origin.lowercasedHost())) {
    auto local = webSerialisedOrigin(origin);
    if (local && std::find(origins.begin(), origins.end(), *local) == origins.end())
      origins.push_back(*local);
  }
  return origins;
}

std::string WebSurfaceScripts::themeSeed(PageTheme theme) const {
  std::string seed = fillPlaceholder(scripts::kThemeSeedJs, kOriginsPlaceholder, originsLiteral_);
  return fillPlaceholder(seed, kThemePlaceholder, jsLiteral(pageThemeName(theme)));
}

void WebSurfaceScripts::installUserScripts(UserContentController& controller,
                                           PageTheme theme) const {
  controller.removeAllScripts();
  UserScript script;
  script.source = themeSeed(theme);
  controller.addScript(script);
  script.source = bridgeBootstrap_;
  controller.addScript(script);
  script.source = readiness_;
  script.world = ScriptWorld::readiness;
  controller.addScript(script);
}

std::optional<PageTheme> WebSurfaceScripts::parseThemeProbe(const std::optional<Json>& result,
                                                            const Url& expectedURL) {
  if (!result || !result->is_object())
    return std::nullopt;
  auto theme = result->find("theme");
  auto href = result->find("href");
  if (theme == result->end() || !theme->is_string() || href == result->end() ||
      !href->is_string()) {
    return std::nullopt;
  }
  const std::string expectedPath = expectedURL.path();
  if (expectedPath != "/app" && !expectedPath.starts_with("/app/"))
    return std::nullopt;
  auto reported = Url::parse(href->get_ref<const std::string&>());
  if (!reported || !(*reported == expectedURL))
    return std::nullopt;
  return pageThemeNamed(theme->get_ref<const std::string&>());
}

std::optional<Json> WebSurfaceScripts::armSurfaceArguments(std::string_view ticket,
                                                           const Url& documentURL) {
  auto origin = webSerialisedOrigin(documentURL);
  if (!origin)
    return std::nullopt;
  return Json{{"ticket", std::string(ticket)}, {"origin", *origin}};
}

std::string WebSurfaceScripts::surfaceActiveScript(bool active) {
  std::string script(kSurfaceActiveCallPrefix);
  script += active ? "true" : "false";
  script += ");";
  return script;
}

std::string WebSurfaceScripts::desktopCommandScript(std::string_view originString,
                                                    std::string_view commandJson) {
  std::string origins = jsLiteral(Json::array({std::string(originString)}));
  std::string script = "(() => {\n  if (location.origin !== new URL(";
  script += origins;
  script += "[0]).origin || !window.__orlithDesktopCommandReady) return false;\n";
  script += "  window.dispatchEvent(new CustomEvent('orlith:desktop-command', { detail: ";
  script += commandJson;
  script += " }));\n  return true;\n})()";
  return script;
}

}  // namespace orlith
