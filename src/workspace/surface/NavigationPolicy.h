// Where each navigation, response, new-window request and download of a tab may go: loaded in
// place, turned into a download, dropped, or handed to the desktop; and when the page's return
// to the sign-in pages or a 401 means the session is over. Pure decisions from the engine's
// facts, so that the web view adapter only translates.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "base/Url.h"
#include "session/OrlithEnvironment.h"

namespace orlith {

enum class NavigationType {
  linkActivated,
  formSubmitted,
  backForward,
  reload,
  formResubmitted,
  other
};
enum class FrameKind { main, sub };
enum class PolicyDecision { allow, cancel, download };
enum class Dismantled { no, yes };

struct SecurityOrigin {
  std::string scheme;
  std::string host;
  int port = 0;  // 0: none given
};

// What an engine with full frame information tells about an action.
struct ActionFrameFacts {
  std::optional<FrameKind> targetFrame;  // none: the action opens no frame (a new window)
  bool sourceIsMainFrame = false;
  std::optional<SecurityOrigin> sourceOrigin;
  bool shouldPerformDownload = false;
};

struct NavigationActionFacts {
  std::string uri;  // empty: the request has no URL
  NavigationType type = NavigationType::other;
  bool isUserGesture = false;
  // WebKitGTK gives none; the unknown parts are then decided at the response stage.
  std::optional<ActionFrameFacts> frames;
};

struct NavigationResponseFacts {
  std::string uri;
  bool isHttp = true;
  bool isMainFrame = false;
  bool canShowMimeType = true;
  int status = 200;
  bool hasWwwAuthenticate = false;
};

// Whether the action stage of this navigation knew its frames.
enum class ActionFrameFactsKnown { yes, no };

struct NavigationOutcome {
  PolicyDecision decision = PolicyDecision::cancel;
  // Open this unchanged address with the desktop's default handler, result ignored.
  std::optional<std::string> openExternally;
  // The session is over for this reason ("auth_redirect", "http_401"); signal it once.
  std::optional<std::string_view> endSession;
  friend bool operator==(const NavigationOutcome&, const NavigationOutcome&) = default;
};

struct NewWindowOutcome {
  std::optional<Url> loadInThisView;
  std::optional<std::string> openExternally;
  friend bool operator==(const NewWindowOutcome&, const NewWindowOutcome&) = default;
};

struct DownloadFacts {
  std::string uri;
  std::optional<std::string> viewUri;  // the address of the view that started it
  // An action or response decision of this tab turned it into a download.
  bool startedByPolicy = false;
};

// Whether a new-window request comes with a person's input that no earlier request used.
enum class FreshUserInput { yes, no };

class NavigationPolicy {
 public:
  static constexpr std::array<std::string_view, 3> kInFrameSchemes = {"blob", "data", "about"};
  static constexpr std::array<std::string_view, 6> kExternalSchemes = {"http", "https", "mailto",
                                                                       "tel",  "sms",   "facetime"};
  static constexpr std::string_view kAuthRedirectReason = "auth_redirect";
  static constexpr std::string_view kHttp401Reason = "http_401";
  // A main-frame commit outside the web is reported as this failed load.
  static constexpr std::string_view kBackstopErrorDomain = "WebKitErrorDomain";
  static constexpr int kBackstopErrorCode = 101;

  explicit NavigationPolicy(OrlithEnvironment environment);

  NavigationOutcome decideAction(const NavigationActionFacts& facts, Dismantled dismantled) const;
  NavigationOutcome decideResponse(const NavigationResponseFacts& facts,
                                   ActionFrameFactsKnown actionFacts, Dismantled dismantled) const;
  NewWindowOutcome decideNewWindow(std::string_view uri, FreshUserInput input,
                                   Dismantled dismantled) const;
  // Whether a download the engine started may go on.
  bool admitDownload(const DownloadFacts& facts, Dismantled dismantled) const;

  // True for a main-frame commit of an address that is not http(s) (about:, data:, blob:, an
  // about:blank after a refused port): the tab reports it as a failed load instead of waiting.
  static bool isCommitOutsideWeb(std::string_view uri);
  // "/login", "/signup", or a path under either.
  static bool isSignupPath(const Url& url);
  static bool isExternalScheme(std::string_view lowerScheme);
  static bool isInFrameScheme(std::string_view lowerScheme);

 private:
  bool isAllowedBlob(std::string_view uri) const;
  NavigationOutcome decideWithFrames(const NavigationActionFacts& facts, const std::string& scheme,
                                     const std::optional<Url>& url,
                                     const ActionFrameFacts& frames) const;
  NavigationOutcome decideWithoutFrames(const NavigationActionFacts& facts,
                                        const std::string& scheme,
                                        const std::optional<Url>& url) const;

  OrlithEnvironment environment_;
};

}  // namespace orlith
