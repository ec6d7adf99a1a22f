// WebKitGTK cookie calls as tasks: each resumes through the main queue when the engine answers or
// its time-out passes, whichever comes first; a late answer is then dropped.
#include "session/gtk/WebKitCookieStore.h"

#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "base/UnixTime.h"

namespace orlith {
namespace {

struct SoupCookieFree {
  void operator()(SoupCookie* cookie) const { soup_cookie_free(cookie); }
};
using SoupCookiePtr = std::unique_ptr<SoupCookie, SoupCookieFree>;

struct DateTimeUnref {
  void operator()(GDateTime* time) const { g_date_time_unref(time); }
};
using DateTimePtr = std::unique_ptr<GDateTime, DateTimeUnref>;

template <class R>
class EngineCall {
 public:
  using Start = std::function<void(GCancellable*, GAsyncReadyCallback, gpointer)>;
  using Finish = std::function<R(GObject*, GAsyncResult*)>;

  // Without a fallback, a call that times out fails with WebCookieStoreTimeout.
  EngineCall(Start start, Finish finish, std::optional<R> fallback,
             std::chrono::milliseconds timeout)
      : start_(std::move(start)), timeout_(timeout) {
    state_->finish = std::move(finish);
    state_->fallback = std::move(fallback);
  }

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> awaiting) {
    pending_.arm(awaiting);
    state_->slot = pending_.slot();
    state_->timeoutSource = g_timeout_add_full(
        G_PRIORITY_DEFAULT, static_cast<guint>(timeout_.count()), &EngineCall::timedOut,
        new std::shared_ptr<State>(state_), &EngineCall::release);
    start_(state_->cancellable.get(), &EngineCall::answered, new std::shared_ptr<State>(state_));
  }
  R await_resume() {
    if (!state_->result) {
      throw WebCookieStoreTimeout();
    }
    return std::move(*state_->result);
  }

 private:
  struct State {
    Finish finish;
    std::optional<R> fallback;
    std::optional<R> result;
    bool expired = false;
    detail::ResumeSlot slot;
    GObjectPtr<GCancellable> cancellable{g_cancellable_new()};
    guint timeoutSource = 0;
  };

  static void release(gpointer data) { delete static_cast<std::shared_ptr<State>*>(data); }

  static void answered(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<std::shared_ptr<State>> owned(static_cast<std::shared_ptr<State>*>(data));
    State& state = **owned;
    // Finished even when late, so that the engine's result is freed.
    R value = state.finish(source, result);
    if (state.result || state.expired)
      return;
    state.result.emplace(std::move(value));
    if (state.timeoutSource != 0)
      g_source_remove(std::exchange(state.timeoutSource, 0));
    detail::resumeOnMainQueue(state.slot);
  }

  static gboolean timedOut(gpointer data) {
    State& state = **static_cast<std::shared_ptr<State>*>(data);
    state.timeoutSource = 0;
    if (!state.result && !state.expired) {
      state.expired = true;
      if (state.fallback)
        state.result.emplace(std::move(*state.fallback));
      g_cancellable_cancel(state.cancellable.get());
      detail::resumeOnMainQueue(state.slot);
    }
    return G_SOURCE_REMOVE;
  }

  Start start_;
  std::chrono::milliseconds timeout_;
  std::shared_ptr<State> state_ = std::make_shared<State>();
  detail::PendingResume pending_;
};

template <class R>
Task<R> awaitEngine(typename EngineCall<R>::Start start, typename EngineCall<R>::Finish finish,
                    std::optional<R> fallback, std::chrono::milliseconds timeout) {
  EngineCall<R> call(std::move(start), std::move(finish), std::move(fallback), timeout);
  co_return co_await call;
}

// The engine reports nothing worth acting on for a write: a failed write leaves the store as the
// next read will show it.
bool finishedWrite(gboolean (*finish)(WebKitCookieManager*, GAsyncResult*, GError**),
                   GObject* source, GAsyncResult* result) {
  GError* rawError = nullptr;
  finish(WEBKIT_COOKIE_MANAGER(source), result, &rawError);
  GErrorPtr error(rawError);
  return true;
}

}  // namespace

WebKitCookieStore::WebKitCookieStore(WebKitNetworkSession* session,
                                     std::chrono::milliseconds timeout)
    : cookies_(retainObject(webkit_network_session_get_cookie_manager(session))),
      data_(retainObject(webkit_network_session_get_website_data_manager(session))),
      timeout_(timeout) {
  changedHandler_ = g_signal_connect(cookies_.get(), "changed",
                                     G_CALLBACK(&WebKitCookieStore::cookiesChanged), this);
}

WebKitCookieStore::~WebKitCookieStore() {
  g_signal_handler_disconnect(cookies_.get(), changedHandler_);
}

void WebKitCookieStore::cookiesChanged(WebKitCookieManager*, gpointer self) {
  static_cast<WebKitCookieStore*>(self)->changed().emit();
}

Task<std::vector<HttpCookie>> WebKitCookieStore::allCookies() {
  GObjectPtr<WebKitCookieManager> manager = retainObject(cookies_.get());
  EngineCall<std::vector<HttpCookie>>::Start start = [manager = manager.get()](
                                                         GCancellable* cancellable,
                                                         GAsyncReadyCallback done, gpointer data) {
    webkit_cookie_manager_get_all_cookies(manager, cancellable, done, data);
  };
  EngineCall<std::vector<HttpCookie>>::Finish finish = [](GObject* source, GAsyncResult* result) {
    GError* rawError = nullptr;
    GList* list = webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source),
                                                               result, &rawError);
    GErrorPtr error(rawError);
    std::vector<HttpCookie> cookies;
    for (GList* item = list; item != nullptr; item = item->next)
      cookies.push_back(fromSoupCookie(static_cast<SoupCookie*>(item->data)));
    g_list_free_full(list, reinterpret_cast<GDestroyNotify>(soup_cookie_free));
    return cookies;
  };
  Task<std::vector<HttpCookie>> call = awaitEngine(
      std::move(start), std::move(finish), std::optional<std::vector<HttpCookie>>(), timeout_);
  co_return co_await std::move(call);
}

Task<void> WebKitCookieStore::add(HttpCookie cookie) {
  GObjectPtr<WebKitCookieManager> manager = retainObject(cookies_.get());
  auto soup = std::make_shared<SoupCookiePtr>(toSoupCookie(cookie));
  EngineCall<bool>::Start start = [manager = manager.get(), soup](GCancellable* cancellable,
                                                                  GAsyncReadyCallback done,
                                                                  gpointer data) {
    webkit_cookie_manager_add_cookie(manager, soup->get(), cancellable, done, data);
  };
  EngineCall<bool>::Finish finish = [](GObject* source, GAsyncResult* result) {
    return finishedWrite(&webkit_cookie_manager_add_cookie_finish, source, result);
  };
  Task<bool> call =
      awaitEngine(std::move(start), std::move(finish), std::optional<bool>(true), timeout_);
  co_await std::move(call);
}

Task<void> WebKitCookieStore::remove(HttpCookie cookie) {
  GObjectPtr<WebKitCookieManager> manager = retainObject(cookies_.get());
  auto soup = std::make_shared<SoupCookiePtr>(toSoupCookie(cookie));
  EngineCall<bool>::Start start = [manager = manager.get(), soup](GCancellable* cancellable,
                                                                  GAsyncReadyCallback done,
                                                                  gpointer data) {
    webkit_cookie_manager_delete_cookie(manager, soup->get(), cancellable, done, data);
  };
  EngineCall<bool>::Finish finish = [](GObject* source, GAsyncResult* result) {
    return finishedWrite(&webkit_cookie_manager_delete_cookie_finish, source, result);
  };
  Task<bool> call =
      awaitEngine(std::move(start), std::move(finish), std::optional<bool>(true), timeout_);
  co_await std::move(call);
}

Task<void> WebKitCookieStore::clearNonCookieData() {
  GObjectPtr<WebKitWebsiteDataManager> manager = retainObject(data_.get());
  EngineCall<bool>::Start start = [manager = manager.get()](GCancellable* cancellable,
                                                            GAsyncReadyCallback done,
                                                            gpointer data) {
    const auto types =
        static_cast<WebKitWebsiteDataTypes>(WEBKIT_WEBSITE_DATA_ALL & ~WEBKIT_WEBSITE_DATA_COOKIES);
    // A time span of 0 means all time.
    webkit_website_data_manager_clear(manager, types, 0, cancellable, done, data);
  };
  EngineCall<bool>::Finish finish = [](GObject* source, GAsyncResult* result) {
    GError* rawError = nullptr;
    webkit_website_data_manager_clear_finish(WEBKIT_WEBSITE_DATA_MANAGER(source), result,
                                             &rawError);
    GErrorPtr error(rawError);
    return true;
  };
  Task<bool> call =
      awaitEngine(std::move(start), std::move(finish), std::optional<bool>(true), timeout_);
  co_await std::move(call);
}

HttpCookie WebKitCookieStore::fromSoupCookie(SoupCookie* soup) {
  HttpCookie cookie;
  cookie.name = soup_cookie_get_name(soup);
  cookie.value = soup_cookie_get_value(soup);
  cookie.domain = soup_cookie_get_domain(soup);
  const char* path = soup_cookie_get_path(soup);
  cookie.path = path != nullptr ? path : "";
  cookie.secure = soup_cookie_get_secure(soup);
  cookie.httpOnly = soup_cookie_get_http_only(soup);
  if (GDateTime* expires = soup_cookie_get_expires(soup)) {
    cookie.expires = systemTimeFromUnixSeconds(g_date_time_to_unix(expires),
                                               g_date_time_get_microsecond(expires));
  }
  return cookie;
}

SoupCookie* WebKitCookieStore::toSoupCookie(const HttpCookie& cookie) {
  SoupCookie* soup = soup_cookie_new(cookie.name.c_str(), cookie.value.c_str(),
                                     cookie.domain.c_str(), cookie.path.c_str(), -1);
  soup_cookie_set_secure(soup, cookie.secure);
  soup_cookie_set_http_only(soup, cookie.httpOnly);
  soup_cookie_set_same_site_policy(soup, SOUP_SAME_SITE_POLICY_LAX);
  if (cookie.expires) {
    const auto seconds = std::chrono::floor<std::chrono::seconds>(*cookie.expires);
    DateTimePtr expires(g_date_time_new_from_unix_utc(seconds.time_since_epoch().count()));
    if (expires)
      soup_cookie_set_expires(soup, expires.get());
  }
  return soup;
}

}  // namespace orlith
