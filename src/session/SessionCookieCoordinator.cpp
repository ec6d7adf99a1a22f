// The serial chain of cookie operations, and the install and removal operations.
#include "session/SessionCookieCoordinator.h"

#include <set>
#include <utility>
#include <vector>

#include "base/MainQueue.h"
#include "session/ReferenceDate.h"
#include "session/SessionCookiePolicy.h"

namespace orlith {
namespace {

using Names = std::set<std::string, std::less<>>;

Names nameSet(std::span<const std::string_view> names) {
  return Names(names.begin(), names.end());
}

// Equal as the install compares cookies: name, value, normalised domain, path and secure flag.
bool sameSessionCookie(const HttpCookie& a, const HttpCookie& b) {
  return a.name == b.name && a.value == b.value &&
         normalizedCookieDomain(a.domain) == normalizedCookieDomain(b.domain) && a.path == b.path &&
         a.secure == b.secure;
}

bool belongsToSession(const HttpCookie& cookie, const Names& names,
                      const std::set<std::string>& domains) {
  return names.contains(cookie.name) && domains.contains(normalizedCookieDomain(cookie.domain));
}

// Whether `cookie` would last longer than `held`, the equal cookie the store already keeps: one
// with an expiry outlives one without across a restart, and a later expiry counts only beyond
// the tolerance.
bool outlives(const HttpCookie& cookie, const HttpCookie& held) {
  if (!cookie.expires)
    return false;
  if (!held.expires)
    return true;
  return *cookie.expires - *held.expires > kSessionCookieExpiryTolerance;
}

Task<void> runLink(SharedTask<void> previous, SessionCookieCoordinator::Operation operation,
                   std::shared_ptr<std::stop_source> stop) {
  if (previous.valid()) {
    try {
      co_await previous;
    } catch (...) {
      // The predecessor's failure belongs to its own caller; the chain goes on.
    }
    previous = SharedTask<void>();
  }
  if (stop->stop_requested())
    co_return;
  try {
    Task<void> running = operation(stop->get_token());
    co_await std::move(running);
  } catch (const TaskCancelled&) {
    // Cancelled while running: the remaining store calls were skipped, which is the point.
  }
}

Task<void> awaitLink(SharedTask<void> link, std::shared_ptr<std::stop_source> stop,
                     std::stop_token callerStop) {
  std::stop_callback forward(callerStop, [stop] { stop->request_stop(); });
  co_await link;
}

Task<void> installOperation(HttpCookie cookie, Names names, std::set<std::string> domains,
                            std::shared_ptr<WebCookieStore> store,
                            std::shared_ptr<const Clock> clock, std::stop_token stop) {
  throwIfStopRequested(stop);
  const std::vector<HttpCookie> cookies = co_await store->allCookies();
  const HttpCookie* held = nullptr;
  for (const HttpCookie& existing : cookies) {
    if (!belongsToSession(existing, names, domains))
      continue;
    if (!sameSessionCookie(existing, cookie)) {
      throwIfStopRequested(stop);
      Task<void> removal = store->remove(existing);
      co_await std::move(removal);
    } else if (!existing.isExpired(clock->wallNow())) {
      held = &existing;
    }
  }
  if (held && !outlives(cookie, *held))
    co_return;
  throwIfStopRequested(stop);
  Task<void> addition = store->add(std::move(cookie));
  co_await std::move(addition);
}

Task<void> removalOperation(Names names, std::set<std::string> domains,
                            std::shared_ptr<WebCookieStore> store, std::stop_token stop) {
  throwIfStopRequested(stop);
  const std::vector<HttpCookie> cookies = co_await store->allCookies();
  for (const HttpCookie& existing : cookies) {
    if (!belongsToSession(existing, names, domains))
      continue;
    throwIfStopRequested(stop);
    Task<void> removal = store->remove(existing);
    co_await std::move(removal);
  }
}

}  // namespace

SessionCookieCoordinator::SessionCookieCoordinator(ServiceHosts hosts,
                                                   std::shared_ptr<const Clock> clock)
    : hosts_(std::move(hosts)), clock_(std::move(clock)) {}

Task<void> SessionCookieCoordinator::enqueue(Operation operation, std::stop_token callerStop) {
  auto stop = std::make_shared<std::stop_source>();
  SharedTask<void> link(runLink(chain_, std::move(operation), stop));
  chain_ = link;
  // Started from the queue rather than inline, and even when nobody awaits it, so that the
  // operations behind it are not held up.
  MainQueue::shared().post([link]() mutable { link.start(); });
  return awaitLink(std::move(link), std::move(stop), std::move(callerStop));
}

Task<void> SessionCookieCoordinator::installSessionCookie(HttpCookie cookie,
                                                          std::span<const std::string_view> names,
                                                          std::shared_ptr<WebCookieStore> store,
                                                          std::stop_token callerStop) {
  std::set<std::string> domains = sessionCookieDomains(cookie.domain, hosts_);
  Operation operation = [cookie = std::move(cookie), names = nameSet(names),
                         domains = std::move(domains), store = std::move(store),
                         clock = clock_](std::stop_token stop) {
    return installOperation(cookie, names, domains, store, clock, std::move(stop));
  };
  return enqueue(std::move(operation), std::move(callerStop));
}

Task<void> SessionCookieCoordinator::removeSessionCookies(std::string host,
                                                          std::span<const std::string_view> names,
                                                          std::shared_ptr<WebCookieStore> store,
                                                          std::stop_token callerStop) {
  Operation operation = [names = nameSet(names), domains = sessionCookieDomains(host, hosts_),
                         store = std::move(store)](std::stop_token stop) {
    return removalOperation(names, domains, store, std::move(stop));
  };
  return enqueue(std::move(operation), std::move(callerStop));
}

}  // namespace orlith
