// A scripted HTTP transport: records every request and answers from a queue of replies or
// errors, without suspending.
#pragma once

#include <deque>
#include <exception>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

#include "session/HttpTransport.h"

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

  std::vector<Sent> sent;
  std::vector<HttpSessionSettings> sessionSettings;
  // The one jar every session with CookieHandling::sessionJar shares.
  FakeCookieStore jar;

 private:
  class Session final : public HttpSession {
   public:
    Session(FakeHttpTransport& transport, HttpSessionSettings settings)
        : transport_(transport), settings_(settings) {}

    Task<HttpResponse> send(HttpRequest request, std::stop_token) override {
      transport_.sent.push_back({request, settings_});
      if (transport_.replies_.empty())
        throw std::logic_error("no scripted reply");
      auto next = std::move(transport_.replies_.front());
      transport_.replies_.pop_front();
      if (auto* error = std::get_if<std::exception_ptr>(&next))
        std::rethrow_exception(*error);
      co_return std::get<HttpResponse>(std::move(next));
    }
    void cancelAll() override {}
    CookieStore* cookieStore() override {
      return settings_.cookies == CookieHandling::sessionJar ? &transport_.jar : nullptr;
    }

   private:
    FakeHttpTransport& transport_;
    HttpSessionSettings settings_;
  };

  std::deque<std::variant<HttpResponse, std::exception_ptr>> replies_;
};

}  // namespace orlith::testing
