// The navigation, response, new-window and download rules of a workspace tab.
#include "workspace/surface/NavigationPolicy.h"

#include <algorithm>

#include "base/Text.h"

namespace orlith {
namespace {

// The scheme of an address, lower-cased; "" when it has none. An address the strict parser
// refuses still has a scheme when its text starts with one.
std::string schemeOf(std::string_view uri, const std::optional<Url>& url) {
  if (url)
    return url->scheme();
  auto colon = uri.find(':');
  if (colon == std::string_view::npos || colon == 0)
    return "";
  std::string_view scheme = uri.substr(0, colon);
  auto isSchemeChar = [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '-' || c == '.';
  };
  if (!std::all_of(scheme.begin(), scheme.end(), isSchemeChar))
    return "";
  return asciiLowercase(scheme);
}

bool isHttpScheme(std::string_view scheme) {
  return scheme == "http" || scheme == "https";
}

bool isUnderApp(const Url& url) {
  const std::string path = url.path();
  return path == "/app" || path.starts_with("/app/");
}

NavigationOutcome cancel() {
  return {PolicyDecision::cancel, std::nullopt, std::nullopt};
}

NavigationOutcome allow() {
  return {PolicyDecision::allow, std::nullopt, std::nullopt};
}

NavigationOutcome download() {
  return {PolicyDecision::download, std::nullopt, std::nullopt};
}

NavigationOutcome cancelAndOpen(std::string_view uri) {
  return {PolicyDecision::cancel, std::string(uri), std::nullopt};
}

NavigationOutcome cancelAndEnd(std::string_view reason) {
  return {PolicyDecision::cancel, std::nullopt, reason};
}

}  // namespace

NavigationPolicy::NavigationPolicy(OrlithEnvironment environment)
    : environment_(std::move(environment)) {}

bool NavigationPolicy::isExternalScheme(std::string_view lowerScheme) {
  return std::find(kExternalSchemes.begin(), kExternalSchemes.end(), lowerScheme) !=
         kExternalSchemes.end();
}

bool NavigationPolicy::isInFrameScheme(std::string_view lowerScheme) {
  return std::find(kInFrameSchemes.begin(), kInFrameSchemes.end(), lowerScheme) !=
         kInFrameSchemes.end();
}

bool NavigationPolicy::isSignupPath(const Url& url) {
  const std::string path = url.path();
  return path == "/login" || path.starts_with("/login/") || path == "/signup" ||
         path.starts_with("/signup/");
}

bool NavigationPolicy::isCommitOutsideWeb(std::string_view uri) {
  auto url = Url::parse(uri);
  return !url || !url->isHttpOrHttps();
}

bool NavigationPolicy::isAllowedBlob(std::string_view uri) const {
  // "blob:" followed by the URL of the document that made it.
  if (uri.size() < 5)
    return false;
  auto inner = Url::parse(uri.substr(5));
  return inner && environment_.isAllowedURL(*inner);
}

NavigationOutcome NavigationPolicy::decideAction(const NavigationActionFacts& facts,
                                                 Dismantled dismantled) const {
  if (dismantled == Dismantled::yes)
    return cancel();
  if (facts.uri.empty())
    return allow();
  const std::optional<Url> url = Url::parse(facts.uri);
  const std::string scheme = schemeOf(facts.uri, url);
  if (facts.frames)
    return decideWithFrames(facts, scheme, url, *facts.frames);
  return decideWithoutFrames(facts, scheme, url);
}

NavigationOutcome NavigationPolicy::decideWithFrames(const NavigationActionFacts& facts,
                                                     const std::string& scheme,
                                                     const std::optional<Url>& url,
                                                     const ActionFrameFacts& frames) const {
  if (frames.shouldPerformDownload && frames.sourceIsMainFrame && frames.sourceOrigin &&
      environment_.isAllowedOrigin(frames.sourceOrigin->scheme, frames.sourceOrigin->host,
                                   frames.sourceOrigin->port)) {
    if (scheme == "blob" && isAllowedBlob(facts.uri))
      return download();
    if (scheme == "data")
      return download();
    if (isHttpScheme(scheme) && url && environment_.isAllowedURL(*url))
      return download();
  }

  if (isHttpScheme(scheme)) {
    if (frames.targetFrame != FrameKind::main)
      return allow();
    // An address the strict parser refuses is neither the service's nor safe to hand on.
    if (!url)
      return cancel();
    if (environment_.isAllowedURL(*url) && isSignupPath(*url)) {
      if (facts.type != NavigationType::linkActivated)
        return cancelAndEnd(kAuthRedirectReason);
      return cancelAndOpen(facts.uri);
    }
    if (environment_.isAppURL(*url))
      return allow();
    return cancelAndOpen(facts.uri);
  }

  if (frames.targetFrame == FrameKind::sub)
    return isInFrameScheme(scheme) ? allow() : cancel();
  // Another program is started only for a person's own click, never for a script alone.
  if (frames.sourceIsMainFrame && url && isExternalScheme(scheme) && facts.isUserGesture)
    return cancelAndOpen(facts.uri);
  return cancel();
}

NavigationOutcome NavigationPolicy::decideWithoutFrames(const NavigationActionFacts&,
                                                        const std::string& scheme,
                                                        const std::optional<Url>& url) const {
  // Neither frame is known. A web address loads, and the response, which does tell the main
  // frame, keeps the main frame on the app; a subframe keeps its own links.
  if (isHttpScheme(scheme))
    return url ? allow() : cancel();
  // Allowed in a subframe; in the main frame the response or the commit refuses them, and as a
  // download they still need this tab's own decision.
  if (isInFrameScheme(scheme))
    return allow();
  // Only a link known to be the main frame's goes outside.
  return cancel();
}

NavigationOutcome NavigationPolicy::decideResponse(const NavigationResponseFacts& facts,
                                                   ActionFrameFactsKnown actionFacts,
                                                   Dismantled dismantled) const {
  if (dismantled == Dismantled::yes)
    return cancel();
  const std::optional<Url> url = Url::parse(facts.uri);
  if (facts.isHttp && facts.isMainFrame && facts.status == 401 && !facts.hasWwwAuthenticate &&
      url && environment_.isAllowedURL(*url) && isUnderApp(*url)) {
    return cancelAndEnd(kHttp401Reason);
  }
  if (actionFacts == ActionFrameFactsKnown::no && facts.isMainFrame) {
    const std::string scheme = schemeOf(facts.uri, url);
    if (isHttpScheme(scheme)) {
      if (!url)
        return cancel();
      if (environment_.isAllowedURL(*url) && isSignupPath(*url))
        return cancelAndEnd(kAuthRedirectReason);
      if (!environment_.isAppURL(*url))
        return cancelAndOpen(facts.uri);
    } else if (scheme == "blob" || scheme == "data") {
      return cancel();
    }
  }
  if (facts.isMainFrame && !facts.canShowMimeType)
    return download();
  return allow();
}

NewWindowOutcome NavigationPolicy::decideNewWindow(std::string_view uri, FreshUserInput input,
                                                   Dismantled dismantled) const {
  // The engine lets one click open several windows, and script the app runs counts as a
  // gesture; only a person's input not yet used by another request opens one.
  if (dismantled == Dismantled::yes || input == FreshUserInput::no || uri.empty())
    return {};
  auto url = Url::parse(uri);
  if (!url)
    return {};
  if (environment_.isAppURL(*url))
    return {url, std::nullopt};
  if (isExternalScheme(url->scheme()))
    return {std::nullopt, std::string(uri)};
  return {};
}

bool NavigationPolicy::admitDownload(const DownloadFacts& facts, Dismantled dismantled) const {
  if (dismantled == Dismantled::yes)
    return false;
  if (facts.startedByPolicy)
    return true;
  auto view = facts.viewUri ? Url::parse(*facts.viewUri) : std::nullopt;
  if (!view || !environment_.isAllowedURL(*view))
    return false;
  auto url = Url::parse(facts.uri);
  if (!url)
    return false;
  if (url->isHttpOrHttps())
    return environment_.isAllowedURL(*url);
  // A service blob can only have been made by a service page. Data has no origin: it is kept
  // only when the service's main frame asked for it, which this tab's decision then recorded.
  if (url->scheme() == "blob")
    return isAllowedBlob(facts.uri);
  return false;
}

}  // namespace orlith
