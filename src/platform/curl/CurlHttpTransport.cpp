// libcurl's multi interface on the GLib main loop. Options that would let the environment
// change behaviour (proxy variables, netrc) are switched off; redirects are never followed.
#include "platform/curl/CurlHttpTransport.h"

#include <curl/curl.h>
#include <gio/gio.h>
#include <glib-unix.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <utility>
#include <variant>

#include "base/Url.h"
#include "platform/curl/CurlCookieLine.h"
#include "platform/curl/CurlResultMapping.h"

namespace orlith {
namespace {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ShareDeleter {
  void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using SharePtr = std::unique_ptr<CURLSH, ShareDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;

void initialiseCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

std::string upperAscii(std::string_view text) {
  std::string upper(text);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  return upper;
}

std::string_view trimOws(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                           text.back() == '\n')) {
    text.remove_suffix(1);
  }
  return text;
}

// libcurl sends header bytes as they are; a value able to end its line is refused here.
void refuseUnsafeRequest(const HttpRequest& request) {
  bool unsafe = hasHeaderBreakingCharacter(request.url) ||
                hasHeaderBreakingCharacter(request.method) || request.method.empty() ||
                request.method.find_first_of(" \t:") != std::string::npos;
  for (const auto& field : request.headers.fields()) {
    unsafe = unsafe || hasHeaderBreakingCharacter(field.name) ||
             hasHeaderBreakingCharacter(field.value) || field.name.empty() ||
             field.name.find_first_of(" \t:") != std::string::npos;
  }
  if (unsafe)
    throw TransportError::url(UrlErrorCode::unknown);
}

std::vector<HttpCookie> cookiesOf(CURL* easy) {
  curl_slist* raw = nullptr;
  std::vector<HttpCookie> cookies;
  if (curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &raw) != CURLE_OK)
    return cookies;
  SlistPtr list(raw);
  for (curl_slist* item = list.get(); item != nullptr; item = item->next) {
    if (auto cookie = cookieFromNetscapeLine(item->data))
      cookies.push_back(std::move(*cookie));
  }
  return cookies;
}

bool fitsInCookieLine(const HttpCookie& cookie) {
  for (const std::string* field : {&cookie.name, &cookie.value, &cookie.domain, &cookie.path}) {
    if (field->find_first_of(std::string_view("\t\r\n\0", 4)) != std::string::npos)
      return false;
  }
  return !cookie.name.empty() && !cookie.domain.empty();
}

// libcurl's form of the first proxy GLib names for a URL; "" is a direct connection.
std::string curlProxyFor(gchar** proxies) {
  if (proxies == nullptr || proxies[0] == nullptr)
    return "";
  std::string_view proxy = proxies[0];
  for (std::string_view scheme :
       {"http://", "https://", "socks4://", "socks4a://", "socks5://", "socks5h://"}) {
    if (proxy.starts_with(scheme))
      return std::string(proxy);
  }
  if (proxy.starts_with("socks://"))
    return "socks5://" + std::string(proxy.substr(8));
  return "";
}

// Asks the system's proxy setting (the one the web views follow) which proxy serves a URL.
struct ProxyLookup {
  struct State {
    std::shared_ptr<std::string> proxy;
    detail::ResumeSlot resume;
  };

  std::string url;
  std::shared_ptr<std::string> proxy = std::make_shared<std::string>();
  detail::PendingResume pending{};

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> handle) {
    pending.arm(handle);
    g_proxy_resolver_lookup_async(g_proxy_resolver_get_default(), url.c_str(), nullptr,
                                  &ProxyLookup::done, new State{proxy, pending.slot()});
  }
  std::string await_resume() const { return *proxy; }

  static void done(GObject* source, GAsyncResult* result, gpointer data) {
    std::unique_ptr<State> state(static_cast<State*>(data));
    GError* error = nullptr;
    gchar** proxies = g_proxy_resolver_lookup_finish(G_PROXY_RESOLVER(source), result, &error);
    // A failed lookup leaves the connection direct, as without any proxy setting.
    *state->proxy = curlProxyFor(proxies);
    g_strfreev(proxies);
    g_clear_error(&error);
    detail::resumeOnMainQueue(std::move(state->resume));
  }
};

class CurlSession;

struct Outcome {
  std::variant<std::monostate, HttpResponse, std::exception_ptr> result;
};

struct Transfer {
  std::uint64_t id = 0;
  CurlSession* session = nullptr;
  EasyPtr easy;
  SlistPtr headerList;
  std::string body;
  HttpResponse response;
  bool headOnly = false;
  bool headComplete = false;
  bool readReplyCookies = false;
  std::optional<std::uint64_t> maxBodyBytes;
  std::uint64_t bodyBytes = 0;
  // Set when the body cap or the sink ended the transfer; it decides the error.
  std::optional<UrlErrorCode> stoppedBy;
  std::function<bool(std::string_view, std::optional<std::uint64_t>)> bodySink;
  std::shared_ptr<Outcome> outcome;
  detail::ResumeSlot resume;
  std::unique_ptr<std::stop_callback<std::function<void()>>> stopCallback;
};

class CurlCookieStore final : public CookieStore {
 public:
  explicit CurlCookieStore(CURL* handle) : handle_(handle) {}

  std::vector<HttpCookie> allCookies() const override { return cookiesOf(handle_); }

  void add(const HttpCookie& cookie) override {
    if (!fitsInCookieLine(cookie))
      return;
    curl_easy_setopt(handle_, CURLOPT_COOKIELIST, netscapeLineFor(cookie).c_str());
  }

  // The engine deletes only everything at once, so the others are put back.
  void remove(const HttpCookie& cookie) override {
    auto cookies = allCookies();
    curl_easy_setopt(handle_, CURLOPT_COOKIELIST, "ALL");
    for (const auto& held : cookies) {
      bool same =
          held.name == cookie.name && held.domain == cookie.domain && held.path == cookie.path;
      if (!same)
        add(held);
    }
  }

 private:
  CURL* handle_;
};

class CurlSession final : public HttpSession {
 public:
  CurlSession(const HttpSessionSettings& settings, std::optional<LocalTlsAuthority> authority)
      : settings_(settings), authority_(std::move(authority)), multi_(curl_multi_init()) {
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETFUNCTION, &CurlSession::onSocket);
    curl_multi_setopt(multi_.get(), CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERFUNCTION, &CurlSession::onTimer);
    curl_multi_setopt(multi_.get(), CURLMOPT_TIMERDATA, this);
    if (settings_.maxConnectionsPerHost > 0) {
      curl_multi_setopt(multi_.get(), CURLMOPT_MAX_HOST_CONNECTIONS,
                        static_cast<long>(settings_.maxConnectionsPerHost));
    }
    if (settings_.cookies == CookieHandling::sessionJar) {
      share_.reset(curl_share_init());
      curl_share_setopt(share_.get(), CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE);
      cookieHandle_.reset(curl_easy_init());
      curl_easy_setopt(cookieHandle_.get(), CURLOPT_SHARE, share_.get());
      curl_easy_setopt(cookieHandle_.get(), CURLOPT_COOKIEFILE, "");
      cookieStore_ = std::make_unique<CurlCookieStore>(cookieHandle_.get());
    }
  }

  ~CurlSession() override {
    cancelAll();
    // Sockets and the timer go with the multi handle; their sources must not fire after it.
    multi_.reset();
    for (auto& [socket, source] : watches_)
      g_source_remove(source);
    watches_.clear();
    if (timer_ != 0)
      g_source_remove(timer_);
    cookieStore_.reset();
    cookieHandle_.reset();
    share_.reset();
  }

  Task<HttpResponse> send(HttpRequest request, std::stop_token stop) override {
    refuseUnsafeRequest(request);
    if (stop.stop_requested())
      throw TransportError::url(UrlErrorCode::cancelled);
    std::weak_ptr<int> alive = lifetime_;
    const std::uint64_t generation = cancelGeneration_;
    // Named awaiters: g++ 12 mishandles aggregate temporaries inside co_await.
    ProxyLookup lookup{request.url};
    std::string proxy = co_await lookup;
    // A cancelAll() while the proxy was being looked up ends this request too.
    if (alive.expired() || stop.stop_requested() || cancelGeneration_ != generation)
      throw TransportError::url(UrlErrorCode::cancelled);
    Awaiter awaiter{this, std::move(request), std::move(proxy), std::move(stop)};
    co_return co_await awaiter;
  }

  void cancelAll() override {
    ++cancelGeneration_;
    std::vector<Transfer*> running;
    for (auto& [easy, transfer] : transfers_)
      running.push_back(transfer.get());
    for (Transfer* transfer : running)
      cancel(transfer);
  }

  CookieStore* cookieStore() override { return cookieStore_.get(); }

 private:
  struct Awaiter {
    CurlSession* session;
    HttpRequest request;
    std::string proxy;
    std::stop_token stop;
    std::shared_ptr<Outcome> outcome = std::make_shared<Outcome>();
    detail::PendingResume pending{};

    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> handle) {
      pending.arm(handle);
      session->start(std::move(request), proxy, stop, outcome, pending.slot());
    }
    HttpResponse await_resume() {
      if (auto* error = std::get_if<std::exception_ptr>(&outcome->result)) {
        std::rethrow_exception(*error);
      }
      return std::get<HttpResponse>(std::move(outcome->result));
    }
  };

  void start(HttpRequest request, const std::string& proxy, const std::stop_token& stop,
             std::shared_ptr<Outcome> outcome, detail::ResumeSlot resume) {
    auto transfer = std::make_unique<Transfer>();
    transfer->id = ++lastTransferId_;
    transfer->session = this;
    transfer->easy.reset(curl_easy_init());
    transfer->outcome = std::move(outcome);
    transfer->resume = std::move(resume);
    transfer->headOnly = request.readMode == ReadMode::headOnly;
    transfer->readReplyCookies = settings_.cookies == CookieHandling::readReply;
    transfer->maxBodyBytes = request.maxBodyBytes;
    transfer->bodySink = std::move(request.bodySink);
    configure(*transfer, request, proxy);

    CURL* easy = transfer->easy.get();
    Transfer* raw = transfer.get();
    transfers_.emplace(easy, std::move(transfer));
    if (stop.stop_possible()) {
      // The stop may come from any thread; the cancel itself runs on the main queue.
      raw->stopCallback = std::make_unique<std::stop_callback<std::function<void()>>>(
          stop,
          std::function<void()>([this, easy, id = raw->id, alive = std::weak_ptr<int>(lifetime_)] {
            MainQueue::shared().post([this, easy, id, alive] {
              if (alive.expired())
                return;
              auto found = transfers_.find(easy);
              // The handle's address may already belong to a later transfer.
              if (found != transfers_.end() && found->second->id == id)
                cancel(found->second.get());
            });
          }));
    }
    if (curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
      finish(raw, TransportError::url(UrlErrorCode::unknown));
    }
  }

  void configure(Transfer& transfer, const HttpRequest& request, const std::string& proxy) {
    CURL* easy = transfer.easy.get();
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_IGNORED));
    // Both always set, so that curl reads neither *_proxy nor no_proxy from the environment;
    // the proxy resolver has already decided for this URL, and "" is a direct connection.
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy.c_str());
    curl_easy_setopt(easy, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy, CURLOPT_ACCEPT_ENCODING, "");
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PRIVATE, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlSession::onHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlSession::onBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);

    auto idle = settings_.requestTimeout;
    if (request.timeout)
      idle = std::min(idle, *request.timeout);
    long idleSeconds = std::max<long>(1, static_cast<long>((idle.count() + 999) / 1000));
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(idle.count()));
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, idleSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     static_cast<long>(settings_.resourceTimeout.count()));

    if (settings_.cookies == CookieHandling::sessionJar) {
      curl_easy_setopt(easy, CURLOPT_SHARE, share_.get());
      curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    } else if (settings_.cookies == CookieHandling::readReply) {
      // A fresh engine of this handle alone: it reads the reply's cookies and sends none.
      curl_easy_setopt(easy, CURLOPT_COOKIEFILE, "");
    }

    if (authority_) {
      auto url = Url::parse(request.url);
      if (url && url->lowercasedHost() == authority_->host) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, authority_->caFile.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, static_cast<char*>(nullptr));
      }
    }

    const std::string method = upperAscii(request.method);
    if (method == "GET") {
      curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    } else if (method == "HEAD") {
      curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else {
      if (method == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
      } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.method.c_str());
      }
      transfer.body = request.body.value_or("");
      curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE,
                       static_cast<curl_off_t>(transfer.body.size()));
      curl_easy_setopt(easy, CURLOPT_POSTFIELDS, transfer.body.data());
    }

    curl_slist* list = nullptr;
    auto append = [&list](const std::string& line) {
      curl_slist* grown = curl_slist_append(list, line.c_str());
      if (grown == nullptr)
        throw std::bad_alloc();
      list = grown;
    };
    for (const auto& field : request.headers.fields()) {
      // "Name;" is curl's way of sending a header with an empty value.
      append(field.value.empty() ? field.name + ";" : field.name + ": " + field.value);
    }
    append("Expect:");
    if (!request.headers.contains("Content-Type"))
      append("Content-Type:");
    transfer.headerList.reset(list);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, list);
  }

  static size_t onHeader(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const size_t length = size * count;
    std::string_view line(data, length);
    if (line.starts_with("HTTP/")) {
      // Each status line, 1xx ones included, starts a new head.
      transfer.response.headers.clear();
      transfer.headComplete = false;
      return length;
    }
    std::string_view content = trimOws(line);
    if (content.empty()) {
      long status = 0;
      curl_easy_getinfo(transfer.easy.get(), CURLINFO_RESPONSE_CODE, &status);
      if (status >= 200) {
        transfer.headComplete = true;
        // Returning short ends the transfer here; finish() counts it as success.
        if (transfer.headOnly)
          return 0;
        // A body announced over the cap is refused before any of it is read.
        const auto announced = announcedLength(transfer);
        if (transfer.maxBodyBytes && announced && *announced > *transfer.maxBodyBytes) {
          transfer.stoppedBy = UrlErrorCode::dataLengthExceedsMaximum;
          return 0;
        }
      }
      return length;
    }
    if (line.front() == ' ' || line.front() == '\t') {
      auto fields = transfer.response.headers.fields();
      if (!fields.empty()) {
        HttpHeaders folded;
        for (size_t i = 0; i + 1 < fields.size(); ++i)
          folded.add(fields[i].name, fields[i].value);
        folded.add(fields.back().name, fields.back().value + " " + std::string(content));
        transfer.response.headers = std::move(folded);
      }
      return length;
    }
    auto colon = content.find(':');
    if (colon == std::string_view::npos)
      return length;
    transfer.response.headers.add(trimOws(content.substr(0, colon)),
                                  trimOws(content.substr(colon + 1)));
    return length;
  }

  static std::optional<std::uint64_t> announcedLength(Transfer& transfer) {
    curl_off_t length = -1;
    if (curl_easy_getinfo(transfer.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) !=
            CURLE_OK ||
        length < 0) {
      return std::nullopt;
    }
    return static_cast<std::uint64_t>(length);
  }

  // Counts decoded bytes, so a small compressed body that grows large is stopped as it grows.
  static size_t onBody(char* data, size_t size, size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    if (transfer.headOnly)
      return 0;
    const size_t length = size * count;
    transfer.bodyBytes += length;
    if (transfer.maxBodyBytes && transfer.bodyBytes > *transfer.maxBodyBytes) {
      transfer.stoppedBy = UrlErrorCode::dataLengthExceedsMaximum;
      return 0;
    }
    if (transfer.bodySink) {
      if (!transfer.bodySink(std::string_view(data, length), announcedLength(transfer))) {
        transfer.stoppedBy = UrlErrorCode::cancelled;
        return 0;
      }
      return length;
    }
    transfer.response.body.append(data, length);
    return length;
  }

  static int onSocket(CURL*, curl_socket_t socket, int what, void* user, void*) {
    auto* self = static_cast<CurlSession*>(user);
    if (auto found = self->watches_.find(socket); found != self->watches_.end()) {
      g_source_remove(found->second);
      self->watches_.erase(found);
    }
    if (what == CURL_POLL_REMOVE)
      return 0;
    int condition = G_IO_ERR | G_IO_HUP;
    if (what == CURL_POLL_IN || what == CURL_POLL_INOUT)
      condition |= G_IO_IN;
    if (what == CURL_POLL_OUT || what == CURL_POLL_INOUT)
      condition |= G_IO_OUT;
    self->watches_[socket] =
        g_unix_fd_add_full(G_PRIORITY_DEFAULT, socket, static_cast<GIOCondition>(condition),
                           &CurlSession::onSocketReady, self, nullptr);
    return 0;
  }

  static gboolean onSocketReady(gint fd, GIOCondition condition, gpointer user) {
    auto* self = static_cast<CurlSession*>(user);
    int flags = 0;
    if (condition & G_IO_IN)
      flags |= CURL_CSELECT_IN;
    if (condition & G_IO_OUT)
      flags |= CURL_CSELECT_OUT;
    if (condition & (G_IO_ERR | G_IO_HUP))
      flags |= CURL_CSELECT_ERR;
    int running = 0;
    curl_multi_socket_action(self->multi_.get(), fd, flags, &running);
    self->collectFinished();
    return G_SOURCE_CONTINUE;
  }

  static int onTimer(CURLM*, long timeoutMs, void* user) {
    auto* self = static_cast<CurlSession*>(user);
    if (self->timer_ != 0) {
      g_source_remove(self->timer_);
      self->timer_ = 0;
    }
    if (timeoutMs >= 0) {
      self->timer_ = g_timeout_add(static_cast<guint>(timeoutMs), &CurlSession::onTimeout, self);
    }
    return 0;
  }

  static gboolean onTimeout(gpointer user) {
    auto* self = static_cast<CurlSession*>(user);
    self->timer_ = 0;
    int running = 0;
    curl_multi_socket_action(self->multi_.get(), CURL_SOCKET_TIMEOUT, 0, &running);
    self->collectFinished();
    return G_SOURCE_REMOVE;
  }

  void collectFinished() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left)) {
      if (message->msg != CURLMSG_DONE)
        continue;
      CURL* easy = message->easy_handle;
      CURLcode result = message->data.result;
      auto found = transfers_.find(easy);
      if (found == transfers_.end())
        continue;
      Transfer* transfer = found->second.get();
      curl_multi_remove_handle(multi_.get(), easy);
      if (result == CURLE_OK ||
          (result == CURLE_WRITE_ERROR && transfer->headOnly && transfer->headComplete)) {
        succeed(transfer);
      } else if (transfer->stoppedBy) {
        finish(transfer, TransportError::url(*transfer->stoppedBy));
      } else {
        long osErrno = 0;
        curl_easy_getinfo(easy, CURLINFO_OS_ERRNO, &osErrno);
        GNetworkMonitor* monitor = g_network_monitor_get_default();
        auto network = g_network_monitor_get_network_available(monitor)
                           ? NetworkAvailability::available
                           : NetworkAvailability::unavailable;
        finish(transfer, transportErrorFor(result, osErrno, network));
      }
    }
  }

  void succeed(Transfer* transfer) {
    long status = 0;
    curl_easy_getinfo(transfer->easy.get(), CURLINFO_RESPONSE_CODE, &status);
    transfer->response.status = static_cast<int>(status);
    if (transfer->readReplyCookies)
      transfer->response.cookies = cookiesOf(transfer->easy.get());
    transfer->outcome->result = std::move(transfer->response);
    complete(transfer);
  }

  void finish(Transfer* transfer, const TransportError& error) {
    transfer->outcome->result = std::make_exception_ptr(error);
    complete(transfer);
  }

  void cancel(Transfer* transfer) {
    curl_multi_remove_handle(multi_.get(), transfer->easy.get());
    finish(transfer, TransportError::url(UrlErrorCode::cancelled));
  }

  void complete(Transfer* transfer) {
    // Without a main queue (a session destroyed at shutdown) nothing is left to resume.
    if (MainQueue::installed() != nullptr)
      detail::resumeOnMainQueue(std::move(transfer->resume));
    transfers_.erase(transfer->easy.get());
  }

  HttpSessionSettings settings_;
  std::optional<LocalTlsAuthority> authority_;
  SharePtr share_;
  EasyPtr cookieHandle_;
  std::unique_ptr<CurlCookieStore> cookieStore_;
  std::map<CURL*, std::unique_ptr<Transfer>> transfers_;
  std::map<curl_socket_t, guint> watches_;
  guint timer_ = 0;
  std::uint64_t lastTransferId_ = 0;
  // Lets work posted from a stop callback see whether the session still exists.
  std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
  // Raised by cancelAll(), so that requests still looking up their proxy end as well.
  std::uint64_t cancelGeneration_ = 0;
  // Declared last so that it goes first, before the handles it may still reference.
  MultiPtr multi_;
};

}  // namespace

CurlHttpTransport::CurlHttpTransport(std::optional<LocalTlsAuthority> localAuthority)
    : localAuthority_(std::move(localAuthority)) {
  initialiseCurlOnce();
}

std::unique_ptr<HttpSession> CurlHttpTransport::makeSession(const HttpSessionSettings& settings) {
  return std::make_unique<CurlSession>(settings, localAuthority_);
}

}  // namespace orlith
