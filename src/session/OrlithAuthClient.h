// The one client of the service's account API: builds every request with the desktop
// identification headers, sends it without following redirects, checks the status and turns
// every failure into an OrlithAuthError.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "base/BundleInfo.h"
#include "base/Clock.h"
#include "base/Task.h"
#include "base/Url.h"
#include "session/HttpTransport.h"
#include "session/OrlithAuthError.h"
#include "session/OrlithAuthRecords.h"
#include "session/OrlithEnvironment.h"

namespace orlith {

// What the requests say about the running app; the defaults apply outside a bundle.
struct AppIdentity {
  std::string appVersion = "1.0";
  std::string buildVersion = "1";
  std::string bundleIdentifier = "com.tolvik.orlith.mac";

  static AppIdentity fromBundle(const BundleInfo& bundle);
};

enum class CookieAcceptance { acceptsCookies, noCookies };

struct TwoFactorChallengeOutcome {
  enum class Kind { accepted, expired, retry };
  Kind kind = Kind::accepted;
  std::string pendingToken;  // with retry only
  bool operator==(const TwoFactorChallengeOutcome&) const = default;
};

struct BootstrapCheck {
  enum class Kind { valid, rejected, unknown };
  Kind kind = Kind::unknown;
  std::optional<HttpCookie> cookie;  // with valid only, and only when the reply renewed it
  bool operator==(const BootstrapCheck&) const = default;
};

class OrlithAuthClient {
 public:
  // The client's own session is made here: cookies kept in memory and sent, 35 s idle limit,
  // 180 s for the whole transfer.
  OrlithAuthClient(OrlithEnvironment environment, std::shared_ptr<HttpTransport> transport,
                   AppIdentity identity, std::shared_ptr<const Clock> clock);

  static HttpSessionSettings authSessionSettings(CookieAcceptance cookies,
                                                 std::chrono::milliseconds timeout);
  static HttpSessionSettings publicServiceSessionSettings(std::chrono::milliseconds timeout);

  const OrlithEnvironment& environment() const { return environment_; }

  // Throws invalidResponse when origin and path do not form a URL, rather than falling back to
  // the origin root with the caller's body.
  HttpRequest makeRequest(std::string_view path, std::string_view method) const;

  // Sends on the client session and validates the reply. A body that cannot be serialised
  // throws nlohmann's error before anything is sent.
  Task<HttpResponse> send(std::string path, std::string method,
                          std::optional<nlohmann::json> jsonBody = std::nullopt,
                          HttpHeaders extraHeaders = {}, std::stop_token stop = {});

  static HttpResponse validate(HttpResponse response);
  // Reads a "Retry-After" value: a whole decimal integer with an optional sign, else none.
  static std::optional<std::int64_t> parseRetryAfter(std::string_view text);
  // Maps whatever the transport threw (the current exception) to an OrlithAuthError.
  static OrlithAuthError mapTransportError(std::exception_ptr error);

  static bool isTrustedProviderURL(const Url& url, std::string_view provider);

  Task<std::optional<std::string>> login(std::string email, std::string password);
  Task<SignupCodeResponse> requestSignupCode(std::string name, std::string email,
                                             std::string password);
  Task<void> verifySignupCode(std::string challengeId, std::string code);
  Task<bool> forgotPassword(std::string email);
  Task<Url> startProviderSignIn(std::string provider, std::string mode);
  Task<NativeHandoffResponse> consumeNativeHandoff(std::string token);
  Task<TwoFactorChallengeOutcome> completeTwoFactor(std::string pendingToken, std::string code);
  // Never throws; an absent, empty or unsafe cookie text sends nothing.
  Task<void> logout(std::optional<std::string> cookie);
  // Never throws; reads only the head of the reply.
  Task<BootstrapCheck> bootstrap(HttpCookie cookie);

  std::optional<HttpCookie> currentSessionCookie() const;
  void clearSessionCookies();

 private:
  std::vector<HttpCookie> cookiesForOrigin(const std::vector<HttpCookie>& cookies) const;
  HttpSessionSettings oneOffSessionSettings() const;

  OrlithEnvironment environment_;
  std::shared_ptr<HttpTransport> transport_;
  AppIdentity identity_;
  std::shared_ptr<const Clock> clock_;
  std::unique_ptr<HttpSession> session_;
};

}  // namespace orlith
