// One read of the cookie store at a time, with one follow-up read for changes during it.
#include "session/SessionCookieWatcher.h"

namespace orlith {

SessionCookieWatcher::SessionCookieWatcher(std::shared_ptr<WebCookieStore> store, Handler onChange)
    : state_(std::make_shared<State>()) {
  state_->store = std::move(store);
  state_->onChange = std::move(onChange);
  state_->connection = state_->store->changed().connect([weak = std::weak_ptr<State>(state_)] {
    if (std::shared_ptr<State> state = weak.lock())
      storeChanged(state);
  });
}

SessionCookieWatcher::~SessionCookieWatcher() {
  stop();
}

void SessionCookieWatcher::stop() {
  state_->stopped = true;
  state_->connection.disconnect();
}

void SessionCookieWatcher::storeChanged(const std::shared_ptr<State>& state) {
  if (state->stopped)
    return;
  if (state->reading) {
    state->changedWhileReading = true;
    return;
  }
  state->reading = true;
  startDetached(read(state, state->store));
}

Task<void> SessionCookieWatcher::read(std::weak_ptr<State> weakState,
                                      std::shared_ptr<WebCookieStore> store) {
  for (;;) {
    std::optional<std::vector<HttpCookie>> cookies;
    try {
      cookies = co_await store->allCookies();
    } catch (const WebCookieStoreTimeout&) {
      // A read that did not finish says nothing about the store, least of all that it is
      // empty: no report, and the next change reads again.
      cookies.reset();
    }
    std::shared_ptr<State> state = weakState.lock();
    if (!state || state->stopped)
      co_return;
    if (cookies) {
      // A copy: the handler may stop the watcher, which must not free what is running.
      Handler onChange = state->onChange;
      onChange(*cookies);
    }
    state->reading = false;
    if (state->stopped || !state->changedWhileReading)
      co_return;
    state->changedWhileReading = false;
    state->reading = true;
  }
}

}  // namespace orlith
