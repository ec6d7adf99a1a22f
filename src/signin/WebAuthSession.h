// The port standing in for the platform's web-authentication session: one provider sign-in
// page shown to the user until the service sends them back to the app's callback scheme. Links
// of that scheme may come from anyone, so the session hands on each one until its owner ends it.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Url.h"
#include "signin/AuthPresentationProvider.h"

namespace orlith {

struct WebAuthError {
  enum class Kind { cancelled, failed };
  Kind kind = Kind::failed;
  std::string message;  // failed only

  static WebAuthError cancelled() { return {Kind::cancelled, {}}; }
  static WebAuthError failed(std::string message) { return {Kind::failed, std::move(message)}; }
  bool operator==(const WebAuthError&) const = default;
};

class WebAuthSession {
 public:
  // Called for a started session on a later main-loop turn, never from inside start() and never
  // after cancel(): with each callback link that comes back while it is open, or once with an
  // error, which ends it. After a link the waiting sheet is gone and the session waits on.
  using Completion = std::function<void(std::optional<Url>, std::optional<WebAuthError>)>;

  // Destroying a session cancels it.
  virtual ~WebAuthSession() = default;
  // False when the page could not be shown; the completion is then never called.
  virtual bool start() = 0;
  // Shows the waiting sheet again after a link was refused; the page is not opened again.
  virtual void resumeWaiting() = 0;
  virtual void cancel() = 0;
};

class WebAuthSessionFactory {
 public:
  virtual ~WebAuthSessionFactory() = default;
  virtual std::unique_ptr<WebAuthSession> makeSession(Url url, std::string callbackScheme,
                                                      std::optional<PresentationAnchor> anchor,
                                                      WebAuthSession::Completion completion) = 0;
};

}  // namespace orlith
