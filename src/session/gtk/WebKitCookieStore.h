// The web views' cookie store on WebKitGTK: the cookie manager and website data manager of the
// network session the tabs share. Each engine call has a time-out; main thread only.
#pragma once

#include <webkit/webkit.h>

#include <chrono>
#include <vector>

#include "platform/glib/GObjectPtr.h"
#include "session/WebCookieStore.h"

namespace orlith {

class WebKitCookieStore final : public WebCookieStore {
 public:
  static constexpr std::chrono::milliseconds kDefaultTimeout = std::chrono::seconds(10);

  explicit WebKitCookieStore(WebKitNetworkSession* session,
                             std::chrono::milliseconds timeout = kDefaultTimeout);
  ~WebKitCookieStore() override;
  WebKitCookieStore(const WebKitCookieStore&) = delete;
  WebKitCookieStore& operator=(const WebKitCookieStore&) = delete;

  Task<std::vector<HttpCookie>> allCookies() override;
  Task<void> add(HttpCookie cookie) override;
  Task<void> remove(HttpCookie cookie) override;
  Task<void> clearNonCookieData() override;

  // The engine's cookie type and ours; installed cookies get SameSite=Lax, which the workspace's
  // own top-level loads and requests carry.
  static HttpCookie fromSoupCookie(SoupCookie* cookie);
  static SoupCookie* toSoupCookie(const HttpCookie& cookie);

 private:
  static void cookiesChanged(WebKitCookieManager* manager, gpointer self);

  GObjectPtr<WebKitCookieManager> cookies_;
  GObjectPtr<WebKitWebsiteDataManager> data_;
  gulong changedHandler_ = 0;
  std::chrono::milliseconds timeout_;
};

}  // namespace orlith
