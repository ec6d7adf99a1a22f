// A cookie store in memory that logs its calls. Each call completes through the main queue, or,
// while calls are held, only when the test releases it.
#pragma once

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "base/Task.h"
#include "session/WebCookieStore.h"

namespace orlith::testing {

class FakeWebCookieStore final : public WebCookieStore {
 public:
  std::vector<HttpCookie> cookies;
  std::vector<std::string> calls;

  void holdCalls(bool hold) { hold_ = hold; }
  std::size_t heldCount() const { return held_.size(); }
  // Completes the oldest held call (through the main queue).
  void releaseOne() {
    detail::ResumeSlot slot = held_.front();
    held_.pop_front();
    detail::resumeOnMainQueue(std::move(slot));
  }

  // How many of the next reads time out, as the engine's would.
  int readsTimingOut = 0;

  Task<std::vector<HttpCookie>> allCookies() override {
    calls.push_back("read");
    Completion completion(*this);
    co_await completion;
    if (readsTimingOut > 0) {
      --readsTimingOut;
      throw WebCookieStoreTimeout();
    }
    co_return cookies;
  }
  Task<void> add(HttpCookie cookie) override {
    calls.push_back("add " + describe(cookie));
    Completion completion(*this);
    co_await completion;
    erase(cookie);
    cookies.push_back(std::move(cookie));
  }
  Task<void> remove(HttpCookie cookie) override {
    calls.push_back("remove " + describe(cookie));
    Completion completion(*this);
    co_await completion;
    erase(cookie);
  }
  Task<void> clearNonCookieData() override {
    calls.push_back("clear");
    Completion completion(*this);
    co_await completion;
  }

  static std::string describe(const HttpCookie& cookie) {
    return cookie.name + "=" + cookie.value + "@" + cookie.domain;
  }

 private:
  class Completion {
   public:
    explicit Completion(FakeWebCookieStore& store) : store_(store) {}
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> awaiting) {
      pending_.arm(awaiting);
      if (store_.hold_)
        store_.held_.push_back(pending_.slot());
      else
        detail::resumeOnMainQueue(pending_.slot());
    }
    void await_resume() const noexcept {}

   private:
    FakeWebCookieStore& store_;
    detail::PendingResume pending_;
  };

  void erase(const HttpCookie& cookie) {
    std::erase_if(cookies, [&](const HttpCookie& held) {
      return held.name == cookie.name && held.domain == cookie.domain && held.path == cookie.path;
    });
  }

  bool hold_ = false;
  std::deque<detail::ResumeSlot> held_;
};

}  // namespace orlith::testing
