// A small in-memory account service: one seeded account, sign-up codes, a two-factor account,
// sessions as random cookie values. A queued scripted reply takes precedence over it.
#include "StandinAccountApi.h"

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orlith::standin {
namespace {

using Json = nlohmann::json;

constexpr const char* kSessionCookie = "orlith_session";
constexpr const char* kVerificationCode = "123456";

struct ScriptedReply {
  int status = 200;
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::string> setCookies;
  int delayMs = 0;
};

struct Account {
  std::string name;
  std::string password;
  bool twoFactor = false;
};

class AccountService {
 public:
  AccountService() {
    accounts_["demo@orlith.test"] = {"Demo", "orlith-demo", false};
    accounts_["two-factor@orlith.test"] = {"Second Factor", "orlith-demo", true};
  }

  void registerRoutes(httplib::Server& server) {
    server.Post("/__standin/replies",
                [this](const auto& request, auto& response) { queueReply(request, response); });
    server.Get("/__standin/requests", [this](const auto&, auto& response) {
      std::lock_guard lock(mutex_);
      response.set_content(requests_.dump(), "application/json");
    });
    server.Post("/__standin/reset", [this](const auto&, auto& response) {
      std::lock_guard lock(mutex_);
      scripted_.clear();
      requests_ = Json::array();
      sessions_.clear();
      handoffs_.clear();
      response.status = 204;
    });
    server.Post("/__standin/handoff", [this](const auto& request, auto& response) {
      Json body = Json::parse(request.body, nullptr, false);
      std::lock_guard lock(mutex_);
      const std::string email = body.is_object() ? text(body, "email") : std::string();
      if (email.empty()) {
        response.status = 400;
        return;
      }
      std::string token = randomToken();
      handoffs_[token] = email;
      reply(response, 200, {{"token", token}});
    });
    server.Post("/__standin/expire-sessions", [this](const auto&, auto& response) {
      std::lock_guard lock(mutex_);
      sessions_.clear();
      response.status = 204;
    });

    route(server, "POST", "/api/auth/login", &AccountService::login);
    route(server, "POST", "/api/auth/2fa/challenge", &AccountService::twoFactor);
    route(server, "POST", "/api/auth/signup/request-code", &AccountService::requestCode);
    route(server, "POST", "/api/auth/signup/verify-code", &AccountService::verifyCode);
    route(server, "POST", "/api/auth/forgot-password", &AccountService::forgotPassword);
    route(server, "POST", "/api/auth/provider", &AccountService::provider);
    route(server, "POST", "/api/auth/native/consume", &AccountService::consume);
    route(server, "POST", "/api/auth/logout", &AccountService::logout);
    route(server, "GET", "/api/app/bootstrap", &AccountService::bootstrap);
    route(server, "POST", "/api/desktop/events", &AccountService::event);
  }

 private:
  using Handler = void (AccountService::*)(const httplib::Request&, httplib::Response&,
                                           const Json&);

  void route(httplib::Server& server, const std::string& method, const std::string& path,
             Handler handler) {
    auto wrapped = [this, method, path, handler](const httplib::Request& request,
                                                 httplib::Response& response) {
      std::optional<ScriptedReply> scripted;
      {
        std::lock_guard lock(mutex_);
        record(request);
        auto& queue = scripted_[method + " " + path];
        if (!queue.empty()) {
          scripted = std::move(queue.front());
          queue.pop_front();
        }
      }
      if (scripted) {
        play(*scripted, response);
        return;
      }
      Json body = Json::parse(request.body, nullptr, false);
      if (!body.is_object())
        body = Json::object();
      std::lock_guard lock(mutex_);
      (this->*handler)(request, response, body);
    };
    if (method == "GET") {
      server.Get(path, wrapped);
    } else {
      server.Post(path, wrapped);
    }
  }

  void record(const httplib::Request& request) {
    Json headers = Json::array();
    for (const auto& [name, value] : request.headers) {
      // The server adds these itself; they are not what the client sent.
      if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" ||
          name == "LOCAL_PORT") {
        continue;
      }
      headers.push_back(Json::array({name, value}));
    }
    requests_.push_back({{"method", request.method},
                         {"path", request.path},
                         {"headers", headers},
                         {"body", request.body}});
  }

  static void play(const ScriptedReply& reply, httplib::Response& response) {
    if (reply.delayMs > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(reply.delayMs));
    response.status = reply.status;
    for (const auto& [name, value] : reply.headers)
      response.set_header(name, value);
    for (const auto& cookie : reply.setCookies)
      response.headers.emplace("Set-Cookie", cookie);
    const auto type = response.get_header_value("Content-Type");
    response.set_content(reply.body, type.empty() ? "application/json" : type);
  }

  void queueReply(const httplib::Request& request, httplib::Response& response) {
    Json json = Json::parse(request.body, nullptr, false);
    if (!json.is_object() || !json.contains("path")) {
      response.status = 400;
      return;
    }
    ScriptedReply reply;
    try {
      reply.status = json.value("status", 200);
      reply.body = json.value("body", std::string());
      reply.delayMs = json.value("delayMs", 0);
      // Headers as an object {name: value} or, to repeat a name, as [[name, value], ...].
      const Json headers = json.value("headers", Json::array());
      if (headers.is_object()) {
        for (const auto& [name, value] : headers.items()) {
          reply.headers.emplace_back(name, value.get<std::string>());
        }
      } else {
        for (const auto& header : headers) {
          reply.headers.emplace_back(header.at(0).get<std::string>(),
                                     header.at(1).get<std::string>());
        }
      }
      for (const auto& cookie : json.value("setCookies", Json::array())) {
        reply.setCookies.push_back(cookie.get<std::string>());
      }
    } catch (const Json::exception&) {
      response.status = 400;
      return;
    }
    std::lock_guard lock(mutex_);
    scripted_[json.value("method", std::string("POST")) + " " + json["path"].get<std::string>()]
        .push_back(std::move(reply));
    response.status = 204;
  }

  std::string randomToken() {
    static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::uniform_int_distribution<int> pick(0, sizeof(kAlphabet) - 2);
    std::string token;
    for (int i = 0; i < 32; ++i)
      token += kAlphabet[pick(random_)];
    return token;
  }

  static std::string text(const Json& body, const char* key) {
    auto found = body.find(key);
    return found != body.end() && found->is_string() ? found->get<std::string>() : std::string();
  }

  static void reply(httplib::Response& response, int status, const Json& body) {
    response.status = status;
    response.set_content(body.dump(), "application/json");
  }

  static void setSessionCookie(const std::string& value, httplib::Response& response) {
    response.headers.emplace("Set-Cookie", std::string(kSessionCookie) + "=" + value +
                                               "; Path=/; Max-Age=2592000; Secure; HttpOnly; "
                                               "SameSite=Lax");
  }

  std::string startSession(const std::string& email, httplib::Response& response) {
    std::string value = randomToken();
    sessions_[value] = email;
    setSessionCookie(value, response);
    return value;
  }

  std::optional<std::string> sessionOf(const httplib::Request& request) {
    const std::string cookies = request.get_header_value("Cookie");
    const std::string prefix = std::string(kSessionCookie) + "=";
    size_t start = 0;
    while (start < cookies.size()) {
      size_t end = cookies.find(';', start);
      std::string pair = cookies.substr(start, end == std::string::npos ? end : end - start);
      while (!pair.empty() && pair.front() == ' ')
        pair.erase(0, 1);
      if (pair.rfind(prefix, 0) == 0) {
        auto found = sessions_.find(pair.substr(prefix.size()));
        if (found != sessions_.end())
          return found->first;
      }
      if (end == std::string::npos)
        break;
      start = end + 1;
    }
    return std::nullopt;
  }

  void login(const httplib::Request&, httplib::Response& response, const Json& body) {
    auto account = accounts_.find(text(body, "email"));
    if (account == accounts_.end() || account->second.password != text(body, "password")) {
      reply(response, 401, {{"error", "Incorrect e-mail or password."}});
      return;
    }
    if (account->second.twoFactor) {
      std::string pending = randomToken();
      pendingTwoFactor_[pending] = account->first;
      reply(response, 200, {{"requiresTwoFactor", true}, {"pendingToken", pending}});
      return;
    }
    startSession(account->first, response);
    reply(response, 200, {{"requiresTwoFactor", false}});
  }

  void twoFactor(const httplib::Request&, httplib::Response& response, const Json& body) {
    auto pending = pendingTwoFactor_.find(text(body, "pendingToken"));
    if (pending == pendingTwoFactor_.end()) {
      reply(response, 401, {{"error", "That sign-in attempt expired."}, {"expired", true}});
      return;
    }
    std::string email = pending->second;
    pendingTwoFactor_.erase(pending);
    if (text(body, "code") != kVerificationCode) {
      std::string next = randomToken();
      pendingTwoFactor_[next] = email;
      reply(response, 401,
            {{"error", "That code didn't work. Please try again."}, {"pendingToken", next}});
      return;
    }
    startSession(email, response);
    reply(response, 200, {{"ok", true}});
  }

  void requestCode(const httplib::Request&, httplib::Response& response, const Json& body) {
    std::string email = text(body, "email");
    if (email.empty() || text(body, "password").empty()) {
      reply(response, 400, {{"error", "Please enter your e-mail and a password."}});
      return;
    }
    std::string challenge = randomToken();
    signups_[challenge] = {email, Account{text(body, "name"), text(body, "password"), false}};
    reply(response, 200, {{"ok", true}, {"challengeId", challenge}, {"expiresInMinutes", 10}});
  }

  void verifyCode(const httplib::Request&, httplib::Response& response, const Json& body) {
    auto signup = signups_.find(text(body, "challengeId"));
    if (signup == signups_.end() || text(body, "code") != kVerificationCode) {
      reply(response, 400, {{"error", "That code didn't work. Please try again."}});
      return;
    }
    accounts_[signup->second.first] = signup->second.second;
    startSession(signup->second.first, response);
    signups_.erase(signup);
    reply(response, 200, {{"ok", true}});
  }

  void forgotPassword(const httplib::Request&, httplib::Response& response, const Json&) {
    reply(response, 200, {{"ok", true}, {"message", "Check your inbox for a reset link."}});
  }

  void provider(const httplib::Request&, httplib::Response& response, const Json& body) {
    std::string provider = text(body, "provider");
    if (provider == "google") {
      reply(response, 200,
            {{"ok", true}, {"redirectTo", "https://accounts.google.com/o/oauth2/v2/auth"}});
    } else if (provider == "github") {
      reply(response, 200, {{"ok", true}, {"redirectTo", "https://github.com/login/oauth"}});
    } else {
      reply(response, 400, {{"error", "Unknown provider."}});
    }
  }

  void consume(const httplib::Request&, httplib::Response& response, const Json& body) {
    auto handoff = handoffs_.find(text(body, "token"));
    if (handoff == handoffs_.end()) {
      reply(response, 400, {{"error", "That sign-in link is no longer valid."}});
      return;
    }
    const std::string email = handoff->second;
    handoffs_.erase(handoff);
    std::string value = randomToken();
    sessions_[value] = email;
    reply(response, 200,
          {{"ok", true},
           {"email", email},
           {"cookie",
            {{"name", kSessionCookie}, {"value", value}, {"secure", true}, {"path", "/"}}}});
  }

  void logout(const httplib::Request& request, httplib::Response& response, const Json&) {
    if (auto session = sessionOf(request))
      sessions_.erase(*session);
    response.headers.emplace("Set-Cookie",
                             std::string(kSessionCookie) + "=; Path=/; Max-Age=0; Secure");
    reply(response, 200, {{"ok", true}});
  }

  void bootstrap(const httplib::Request& request, httplib::Response& response, const Json&) {
    auto session = sessionOf(request);
    if (!session) {
      reply(response, 401, {{"error", "Not signed in."}});
      return;
    }
    // A session in use is kept alive: the cookie comes back with a fresh expiry.
    setSessionCookie(*session, response);
    reply(response, 200, {{"user", {{"email", sessions_[*session]}}}});
  }

  void event(const httplib::Request&, httplib::Response& response, const Json&) {
    response.status = 204;
  }

  std::mutex mutex_;
  std::map<std::string, std::deque<ScriptedReply>> scripted_;
  Json requests_ = Json::array();
  std::map<std::string, Account> accounts_;
  std::map<std::string, std::string> sessions_;
  std::map<std::string, std::string> pendingTwoFactor_;
  std::map<std::string, std::pair<std::string, Account>> signups_;
  std::map<std::string, std::string> handoffs_;  // token to e-mail
  std::mt19937_64 random_{std::random_device{}()};
};

}  // namespace

void registerAccountApi(httplib::Server& server) {
  static AccountService service;
  service.registerRoutes(server);
}

}  // namespace orlith::standin
