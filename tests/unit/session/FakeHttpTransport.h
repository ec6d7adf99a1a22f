// A scripted HTTP transport: records every request and answers from a queue of replies or
// errors, without suspending unless replies are held.
#pragma once

#include <deque>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "session/HttpTransport.h"
#include "session/TransportError.h"

namespace orlith::testing {

class FakeCookieStore final : public CookieStore {
 public:
  std::vector<HttpCookie> allCookies() const override { return cookies; }
  void add(const HttpCookie& cookie) override {
    remove(cookie);
    cookies.push_back(cookie);
  }
  void remove(const HttpCookie& cookie) override {
    std::erase_if(cookies, [&](const HttpCookie& held) {
      return held.name == cookie.name && held.domain == cookie.domain && held.path == cookie.path;
    });
  }
  std::vector<HttpCookie> cookies;
};

class FakeHttpTransport final : public HttpTransport {
 public:
  struct Sent {
    HttpRequest request;
    HttpSessionSettings settings;
  };

  void reply(int status, std::string body = {}, HttpHeaders headers = {},
             std::vector<HttpCookie> cookies = {}) {
    replies_.emplace_back(
        HttpResponse{status, std::move(headers), std::move(body), std::move(cookies)});
  }
  template <class Error>
  void fail(Error error) {
    replies_.emplace_back(std::make_exception_ptr(std::move(error)));
  }

  std::unique_ptr<HttpSession> makeSession(const HttpSessionSettings& settings) override {
    sessionSettings.push_back(settings);
    return std::make_unique<Session>(*this, settings);
  }

  // Each session with CookieHandling::sessionJar gets a jar of its own, as a real transport
  // does, instead of sharing `jar`.
  void useSeparateJars() { separateJars_ = true; }
  // While held, a request is recorded at once and answered only when the test releases it.
  void holdReplies(bool hold) { hold_ = hold; }
  std::size_t heldCount() const { return held_.size(); }
  // Answers the oldest held request with the next scripted reply, through the main queue.
  void releaseOne() {
    detail::ResumeSlot slot = held_.front();
    held_.pop_front();
    detail::resumeOnMainQueue(std::move(slot));
  }

  std::vector<Sent> sent;
  std::vector<HttpSessionSettings> sessionSettings;
  // A streamed body is handed over in pieces of this size.
  std::size_t chunkSize = 64 * 1024;
  // Thrown once after a streamed body was delivered in full, as a transfer that breaks at its end.
  std::exception_ptr completionError;
  // The one jar every session with CookieHandling::sessionJar shares, unless separate.
  FakeCookieStore jar;

 private:
  class Session final : public HttpSession {
   public:
    Session(FakeHttpTransport& transport, HttpSessionSettings settings)
        : transport_(transport), settings_(settings) {
      if (transport.separateJars_)
        ownJar_ = std::make_unique<FakeCookieStore>();
    }

    Task<HttpResponse> send(HttpRequest request, std::stop_token) override {
      transport_.sent.push_back({request, settings_});
      if (transport_.hold_) {
        Held held(transport_);
        co_await held;
      }
      if (transport_.replies_.empty())
        throw std::logic_error("no scripted reply");
      auto next = std::move(transport_.replies_.front());
      transport_.replies_.pop_front();
      if (auto* error = std::get_if<std::exception_ptr>(&next))
        std::rethrow_exception(*error);
      HttpResponse response = std::get<HttpResponse>(std::move(next));
      // The cap and the sink act as the real transport's do: the announced length is the
      // scripted reply's Content-Length, and the body comes in chunks of `chunkSize`.
      std::optional<std::uint64_t> announced;
      if (auto length = response.headers.value("Content-Length"))
        announced = std::stoull(*length);
      if (request.maxBodyBytes && ((announced && *announced > *request.maxBodyBytes) ||
                                   response.body.size() > *request.maxBodyBytes)) {
        throw TransportError::url(UrlErrorCode::dataLengthExceedsMaximum);
      }
      if (request.bodySink) {
        std::string_view rest = response.body;
        while (!rest.empty()) {
          const auto chunk = rest.substr(0, transport_.chunkSize);
          rest.remove_prefix(chunk.size());
          if (!request.bodySink(chunk, announced))
            throw TransportError::url(UrlErrorCode::cancelled);
        }
        response.body.clear();
        if (transport_.completionError)
          std::rethrow_exception(std::exchange(transport_.completionError, nullptr));
      }
      // A jar keeps what the reply set; other sessions only read it back.
      if (ownJar_) {
        for (const HttpCookie& cookie : response.cookies)
          ownJar_->add(cookie);
      }
      co_return response;
    }
    void cancelAll() override {}
    CookieStore* cookieStore() override {
      if (settings_.cookies != CookieHandling::sessionJar)
        return nullptr;
      return ownJar_ ? ownJar_.get() : &transport_.jar;
    }

   private:
    class Held {
     public:
      explicit Held(FakeHttpTransport& transport) : transport_(transport) {}
      bool await_ready() const noexcept { return false; }
      void await_suspend(std::coroutine_handle<> awaiting) {
        pending_.arm(awaiting);
        transport_.held_.push_back(pending_.slot());
      }
      void await_resume() const noexcept {}

     private:
      FakeHttpTransport& transport_;
      detail::PendingResume pending_;
    };

    FakeHttpTransport& transport_;
    HttpSessionSettings settings_;
    std::unique_ptr<FakeCookieStore> ownJar_;
  };

  std::deque<std::variant<HttpResponse, std::exception_ptr>> replies_;
  bool separateJars_ = false;
  bool hold_ = false;
  std::deque<detail::ResumeSlot> held_;
};

}  // namespace orlith::testing
