// Turns the cookie store's change signals into complete cookie lists, one read at a time: a
// burst of changes during a read causes exactly one more read. Main thread only.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "session/HttpCookie.h"
#include "session/WebCookieStore.h"

namespace orlith {

class SessionCookieWatcher {
 public:
  using Handler = std::function<void(const std::vector<HttpCookie>&)>;

  SessionCookieWatcher(std::shared_ptr<WebCookieStore> store, Handler onChange);
  // Stops.
  ~SessionCookieWatcher();
  SessionCookieWatcher(const SessionCookieWatcher&) = delete;
  SessionCookieWatcher& operator=(const SessionCookieWatcher&) = delete;

  // Final: no change is followed any more, and a read still in flight reports nothing.
  void stop();
  bool isStopped() const { return state_->stopped; }

 private:
  struct State {
    std::shared_ptr<WebCookieStore> store;
    Handler onChange;
    bool stopped = false;
    bool reading = false;
    bool changedWhileReading = false;
    sigc::connection connection;
  };

  static void storeChanged(const std::shared_ptr<State>& state);
  static Task<void> read(std::weak_ptr<State> weakState, std::shared_ptr<WebCookieStore> store);

  std::shared_ptr<State> state_;
};

}  // namespace orlith
