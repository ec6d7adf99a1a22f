// Request building, sending, status validation and the endpoints of the account API.
#include "session/OrlithAuthClient.h"

#include <charconv>
#include <utility>

#include "base/Cancellation.h"
#include "session/OrlithWire.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

constexpr auto kClientTimeout = 35s;
constexpr auto kClientResourceTimeout = 180s;
constexpr auto kOneOffTimeout = 15s;
constexpr auto kRequestTimeout = 60s;
constexpr const char* kDefaultTwoFactorFailure = "That code didn't work. Please try again.";
constexpr std::string_view kJsonType = "application/json";

bool isSuccess(int status) {
  return status >= 200 && status <= 299;
}

void requireHttpStatus(const HttpResponse& response) {
  if (response.status < 100 || response.status > 999)
    throw OrlithAuthError::invalidResponse();
}

}  // namespace

AppIdentity AppIdentity::fromBundle(const BundleInfo& bundle) {
  AppIdentity identity;
  identity.appVersion = bundle.appVersion();
  identity.buildVersion = bundle.buildVersion();
  if (auto identifier = bundle.identifier())
    identity.bundleIdentifier = *identifier;
  return identity;
}

OrlithAuthClient::OrlithAuthClient(OrlithEnvironment environment,
                                   std::shared_ptr<HttpTransport> transport, AppIdentity identity,
                                   std::shared_ptr<const Clock> clock)
    : environment_(std::move(environment)),
      transport_(std::move(transport)),
      identity_(std::move(identity)),
      clock_(std::move(clock)),
      session_(transport_->makeSession(
          authSessionSettings(CookieAcceptance::acceptsCookies, kClientTimeout))) {}

HttpSessionSettings OrlithAuthClient::authSessionSettings(CookieAcceptance cookies,
                                                          std::chrono::milliseconds timeout) {
  HttpSessionSettings settings;
  bool accepts = cookies == CookieAcceptance::acceptsCookies;
  settings.cookies = accepts ? CookieHandling::sessionJar : CookieHandling::readReply;
  settings.requestTimeout = timeout;
  settings.resourceTimeout = accepts ? std::chrono::milliseconds(kClientResourceTimeout) : timeout;
  return settings;
}

HttpSessionSettings OrlithAuthClient::publicServiceSessionSettings(
    std::chrono::milliseconds timeout) {
  HttpSessionSettings settings;
  settings.cookies = CookieHandling::none;
  settings.requestTimeout = timeout;
  settings.resourceTimeout = timeout;
  settings.maxConnectionsPerHost = 2;
  return settings;
}

HttpSessionSettings OrlithAuthClient::oneOffSessionSettings() const {
  return authSessionSettings(CookieAcceptance::noCookies, kOneOffTimeout);
}

HttpRequest OrlithAuthClient::makeRequest(std::string_view path, std::string_view method) const {
  std::string origin = environment_.originString();
  auto url = Url::parse(origin + std::string(path));
  if (!url)
    throw OrlithAuthError::invalidResponse();

  HttpRequest request;
  request.url = url->absoluteString();
  request.method = std::string(method);
  request.timeout = kRequestTimeout;
  std::string upper(method);
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z')
      c = static_cast<char>(c - 'a' + 'A');
  }
  HttpHeaders& headers = request.headers;
  headers.set("Accept", kJsonType);
  if (upper != "GET" && upper != "HEAD") {
    headers.set("Origin", origin);
    headers.set("Referer", origin + "/");
  }
  headers.set("User-Agent", std::string(wire::kUserAgentPrefix) + identity_.appVersion);
  headers.set(wire::kNativeAppHeader, wire::kNativeAppValue);
  headers.set(wire::kNativePlatformHeader, wire::kNativePlatformValue);
  headers.set(wire::kNativeBundleIdHeader, identity_.bundleIdentifier);
  headers.set(wire::kNativeVersionHeader, identity_.appVersion);
  headers.set(wire::kNativeBuildHeader, identity_.buildVersion);
  return request;
}

Task<HttpResponse> OrlithAuthClient::send(std::string path, std::string method,
                                          std::optional<nlohmann::json> jsonBody,
                                          HttpHeaders extraHeaders, std::stop_token stop) {
  HttpRequest request = makeRequest(path, method);
  if (jsonBody) {
    request.headers.set("Content-Type", kJsonType);
    request.body = jsonBody->dump();
  }
  for (const auto& field : extraHeaders.fields())
    request.headers.set(field.name, field.value);

  HttpResponse response;
  try {
    response = co_await session_->send(std::move(request), std::move(stop));
  } catch (...) {
    throw mapTransportError(std::current_exception());
  }
  co_return validate(std::move(response));
}

HttpResponse OrlithAuthClient::validate(HttpResponse response) {
  requireHttpStatus(response);
  if (isSuccess(response.status))
    return response;
  if (response.status == 429) {
    auto retryAfter = response.headers.value("Retry-After");
    if (!retryAfter || retryAfter->empty())
      throw OrlithAuthError::rateLimited(std::nullopt);
    throw OrlithAuthError::rateLimited(parseRetryAfter(*retryAfter));
  }
  std::optional<std::string> message;
  if (auto body = OrlithErrorBody::decode(response.body)) {
    message = body->error ? body->error : body->message;
  }
  throw OrlithAuthError::http(response.status, std::move(message));
}

std::optional<std::int64_t> OrlithAuthClient::parseRetryAfter(std::string_view text) {
  // from_chars takes "-" but not "+"; a "+" must be followed by a digit, not by another sign.
  if (text.starts_with('+')) {
    text.remove_prefix(1);
    if (text.empty() || text.front() < '0' || text.front() > '9')
      return std::nullopt;
  }
  std::int64_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    return std::nullopt;
  return value;
}

OrlithAuthError OrlithAuthClient::mapTransportError(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const TaskCancelled&) {
    return OrlithAuthError::cancelled();
  } catch (const OrlithAuthError& authError) {
    return authError;
  } catch (const TransportError& transportError) {
    if (transportError.isUrlError(UrlErrorCode::cancelled))
      return OrlithAuthError::cancelled();
    return OrlithAuthError::network(transportError);
  } catch (const std::exception& other) {
    return OrlithAuthError::network(TransportError("", 0, other.what()));
  } catch (...) {
    return OrlithAuthError::network(TransportError::url(UrlErrorCode::unknown));
  }
}

bool OrlithAuthClient::isTrustedProviderURL(const Url& url, std::string_view provider) {
  if (url.scheme() != "https" || !url.lowercasedHost())
    return false;
  const std::string& host = *url.lowercasedHost();
  if (provider == wire::kGoogleProvider)
    return host == wire::kGoogleSignInHost;
  if (provider == wire::kGithubProvider) {
    return host == wire::kGithubSignInHost || host == wire::kGithubWwwSignInHost;
  }
  return false;
}

// Bodies are built before the co_await: g++ 12 miscompiles braced initialisers of string
// literals inside a co_await expression.
Task<std::optional<std::string>> OrlithAuthClient::login(std::string email, std::string password) {
  nlohmann::json body = {{"email", email}, {"password", password}};
  auto response =
      co_await send(std::string(wire::kLoginPath), std::string("POST"), std::move(body));
  auto gate = TwoFactorGateResponse::decode(response.body);
  if (gate && gate->requiresTwoFactor == true && gate->pendingToken &&
      !gate->pendingToken->empty()) {
    co_return gate->pendingToken;
  }
  co_return std::nullopt;
}

Task<SignupCodeResponse> OrlithAuthClient::requestSignupCode(std::string name, std::string email,
                                                             std::string password) {
  nlohmann::json body = {{"name", name}, {"email", email}, {"password", password}};
  auto response = co_await send(std::string(wire::kSignupRequestCodePath), std::string("POST"),
                                std::move(body));
  auto decoded = SignupCodeResponse::decode(response.body);
  if (!decoded)
    throw OrlithAuthError::invalidResponse();
  co_return std::move(*decoded);
}

Task<void> OrlithAuthClient::verifySignupCode(std::string challengeId, std::string code) {
  nlohmann::json body = {{"challengeId", challengeId}, {"code", code}};
  co_await send(std::string(wire::kSignupVerifyCodePath), std::string("POST"), std::move(body));
}

Task<bool> OrlithAuthClient::forgotPassword(std::string email) {
  nlohmann::json body = {{"email", email}};
  auto response =
      co_await send(std::string(wire::kForgotPasswordPath), std::string("POST"), std::move(body));
  auto decoded = ForgotPasswordResponse::decode(response.body);
  co_return decoded ? decoded->ok.value_or(true) : true;
}

Task<Url> OrlithAuthClient::startProviderSignIn(std::string provider, std::string mode) {
  nlohmann::json body = {
      {"provider", provider}, {"mode", mode}, {"nativeCallbackUrl", wire::kNativeCallbackUrl}};
  auto response =
      co_await send(std::string(wire::kProviderPath), std::string("POST"), std::move(body));
  auto decoded = ProviderAuthResponse::decode(response.body);
  if (!decoded)
    throw OrlithAuthError::invalidResponse();
  auto url = Url::parse(decoded->redirectTo);
  if (!url || !isTrustedProviderURL(*url, provider))
    throw OrlithAuthError::invalidResponse();
  co_return std::move(*url);
}

Task<NativeHandoffResponse> OrlithAuthClient::consumeNativeHandoff(std::string token) {
  nlohmann::json body = {{"token", token}};
  auto response =
      co_await send(std::string(wire::kNativeConsumePath), std::string("POST"), std::move(body));
  auto decoded = NativeHandoffResponse::decode(response.body);
  if (!decoded)
    throw OrlithAuthError::invalidResponse();
  co_return std::move(*decoded);
}

Task<TwoFactorChallengeOutcome> OrlithAuthClient::completeTwoFactor(std::string pendingToken,
                                                                    std::string code) {
  HttpRequest request = makeRequest(wire::kTwoFactorChallengePath, "POST");
  request.headers.set("Content-Type", kJsonType);
  request.body = nlohmann::json{{"pendingToken", pendingToken}, {"code", code}}.dump();

  HttpResponse response;
  try {
    response = co_await session_->send(std::move(request));
  } catch (...) {
    throw mapTransportError(std::current_exception());
  }
  requireHttpStatus(response);
  if (isSuccess(response.status))
    co_return TwoFactorChallengeOutcome{};

  auto decoded = TwoFactorChallengeErrorResponse::decode(response.body);
  if (!decoded)
    throw OrlithAuthError::server(kDefaultTwoFactorFailure);
  if (decoded->expired == true) {
    co_return TwoFactorChallengeOutcome{TwoFactorChallengeOutcome::Kind::expired, {}};
  }
  if (decoded->pendingToken && !decoded->pendingToken->empty()) {
    co_return TwoFactorChallengeOutcome{TwoFactorChallengeOutcome::Kind::retry,
                                        *decoded->pendingToken};
  }
  throw OrlithAuthError::server(decoded->error.value_or(kDefaultTwoFactorFailure));
}

Task<void> OrlithAuthClient::logout(std::optional<std::string> cookie) {
  // A value that would end its header line is refused outright rather than sent.
  if (!cookie || cookie->empty() || hasHeaderBreakingCharacter(*cookie))
    co_return;
  auto session = transport_->makeSession(oneOffSessionSettings());
  try {
    HttpRequest request = makeRequest(wire::kLogoutPath, "POST");
    request.headers.set("Cookie", *cookie);
    request.headers.set("Content-Type", kJsonType);
    request.body = "{}";
    co_await session->send(std::move(request));
  } catch (...) {
    // Signing out locally goes on whatever the service answered; nothing is reported.
  }
}

Task<BootstrapCheck> OrlithAuthClient::bootstrap(HttpCookie cookie) {
  std::string header = cookie.name + "=" + cookie.value;
  if (hasHeaderBreakingCharacter(header))
    co_return BootstrapCheck{};
  auto session = transport_->makeSession(oneOffSessionSettings());
  HttpResponse response;
  try {
    HttpRequest request = makeRequest(wire::kBootstrapPath, "GET");
    request.headers.set("Cookie", header);
    request.readMode = ReadMode::headOnly;
    response = co_await session->send(std::move(request));
  } catch (...) {
    co_return BootstrapCheck{};
  }
  if (response.status < 100)
    co_return BootstrapCheck{};
  if (response.status == 401 || response.status == 403) {
    co_return BootstrapCheck{BootstrapCheck::Kind::rejected, std::nullopt};
  }
  if (!isSuccess(response.status))
    co_return BootstrapCheck{};
  // The reply's cookies were read for this request's URL, on the origin's host.
  for (std::string_view name : wire::kSessionCookieNames) {
    for (const auto& set : response.cookies) {
      if (set.name == name && set.value == cookie.value) {
        co_return BootstrapCheck{BootstrapCheck::Kind::valid, set};
      }
    }
  }
  co_return BootstrapCheck{BootstrapCheck::Kind::valid, std::nullopt};
}

std::vector<HttpCookie> OrlithAuthClient::cookiesForOrigin(
    const std::vector<HttpCookie>& cookies) const {
  const Url& origin = environment_.origin();
  std::string path = origin.path().empty() ? "/" : origin.path();
  std::string host = origin.lowercasedHost().value_or("");
  auto now = clock_->wallNow();
  std::vector<HttpCookie> matching;
  for (const auto& cookie : cookies) {
    if (cookie.appliesTo(origin.scheme(), host, path, now))
      matching.push_back(cookie);
  }
  return matching;
}

std::optional<HttpCookie> OrlithAuthClient::currentSessionCookie() const {
  CookieStore* store = session_->cookieStore();
  if (store == nullptr)
    return std::nullopt;
  auto cookies = cookiesForOrigin(store->allCookies());
  for (std::string_view name : wire::kSessionCookieNames) {
    for (const auto& cookie : cookies) {
      if (cookie.name == name)
        return cookie;
    }
  }
  return std::nullopt;
}

void OrlithAuthClient::clearSessionCookies() {
  CookieStore* store = session_->cookieStore();
  if (store == nullptr)
    return;
  for (const auto& cookie : cookiesForOrigin(store->allCookies())) {
    for (std::string_view name : wire::kSessionCookieNames) {
      if (cookie.name == name)
        store->remove(cookie);
    }
  }
}

}  // namespace orlith
