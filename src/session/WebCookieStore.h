// The web views' cookie store as the session sees it. Every engine call has a time-out. A read
// that does not finish in time fails with WebCookieStoreTimeout, which is not an empty store:
// nothing may be concluded from it. A write that does not finish in time counts as finished, as
// the next read shows what the store holds. Main thread; results resume through the main queue.
#pragma once

#include <sigc++/sigc++.h>

#include <stdexcept>
#include <vector>

#include "base/Task.h"
#include "session/HttpCookie.h"

namespace orlith {

class WebCookieStoreTimeout : public std::runtime_error {
 public:
  WebCookieStoreTimeout()
      : std::runtime_error("The web views’ cookie store did not answer in time.") {}
};

class WebCookieStore {
 public:
  virtual ~WebCookieStore() = default;

  // Throws WebCookieStoreTimeout when the engine does not answer in time.
  virtual Task<std::vector<HttpCookie>> allCookies() = 0;
  virtual Task<void> add(HttpCookie cookie) = 0;
  virtual Task<void> remove(HttpCookie cookie) = 0;
  // Removes every kind of website data except cookies, from all time.
  virtual Task<void> clearNonCookieData() = 0;

  // Emitted when any cookie changed; it says nothing about which.
  sigc::signal<void()>& changed() { return changed_; }

 private:
  sigc::signal<void()> changed_;
};

}  // namespace orlith
