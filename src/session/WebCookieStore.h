// The web views' cookie store as the session sees it. No call fails: an engine call that does not
// finish in time counts as an empty read or a finished write, so sign-in never stalls on it.
// Main thread; results resume through the main queue.
#pragma once

#include <sigc++/sigc++.h>

#include <vector>

#include "base/Task.h"
#include "session/HttpCookie.h"

namespace orlith {

class WebCookieStore {
 public:
  virtual ~WebCookieStore() = default;

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
