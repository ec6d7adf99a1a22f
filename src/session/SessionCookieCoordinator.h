// The one writer of session cookies into the web views' cookie store: its operations run one
// after another, each starting when the one enqueued before it has ended. One per process,
// shared by the session store and every tab's cookie bootstrap. Main thread only.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <span>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/Clock.h"
#include "base/Task.h"
#include "session/HttpCookie.h"
#include "session/OrlithEnvironment.h"
#include "session/WebCookieStore.h"

namespace orlith {

class SessionCookieCoordinator {
 public:
  // An operation checks its token before every call that touches the store.
  using Operation = std::function<Task<void>(std::stop_token)>;

  SessionCookieCoordinator(ServiceHosts hosts, std::shared_ptr<const Clock> clock);

  // Queues `operation` behind every operation enqueued before it, at once; the task awaits its
  // end. Stopping `callerStop` cancels the operation: one still waiting for its predecessor then
  // never touches the store, and a cancelled operation still counts as ended for the ones behind
  // it. The task rethrows what the operation threw, except TaskCancelled.
  Task<void> enqueue(Operation operation, std::stop_token callerStop = {});

  // Deletes the stale session cookies of the cookie's domains first (other session-named
  // cookies, and differing copies of this one), then sets the cookie unless the store already
  // holds it alive with an expiry not more than a minute shorter.
  Task<void> installSessionCookie(HttpCookie cookie, std::span<const std::string_view> names,
                                  std::shared_ptr<WebCookieStore> store,
                                  std::stop_token callerStop = {});
  // Deletes every session-named cookie of the host's domains.
  Task<void> removeSessionCookies(std::string host, std::span<const std::string_view> names,
                                  std::shared_ptr<WebCookieStore> store,
                                  std::stop_token callerStop = {});

 private:
  ServiceHosts hosts_;
  std::shared_ptr<const Clock> clock_;
  SharedTask<void> chain_;
};

}  // namespace orlith
