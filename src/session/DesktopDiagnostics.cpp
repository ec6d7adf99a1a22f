// Gating, filtering and sending of diagnostics events.
#include "session/DesktopDiagnostics.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <utility>

#include "session/OrlithAuthClient.h"
#include "session/OrlithWire.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

#if defined(__x86_64__)
constexpr std::string_view kArch = "x64";
#elif defined(__aarch64__)
constexpr std::string_view kArch = "arm64";
#else
#error "diagnostics know only x86_64 and arm64 builds"
#endif

constexpr auto kTimeout = 8s;
constexpr std::array<std::string_view, 4> kAllowedDomains = {
    "NSURLErrorDomain", "NSCocoaErrorDomain", "WKErrorDomain", "WebKitErrorDomain"};
constexpr std::array<std::string_view, 6> kAllowedReasons = {"renderer_repeatedly_terminated",
                                                             "orlith:signed-out",
                                                             "orlith:session-expired",
                                                             "http_401",
                                                             "http_403",
                                                             "unknown"};

template <std::size_t N>
bool isOneOf(const std::array<std::string_view, N>& list, std::string_view value) {
  return std::find(list.begin(), list.end(), value) != list.end();
}

std::optional<std::string> plainDecimal(std::string_view text) {
  if (text.empty() || text.size() > 7)
    return std::nullopt;
  std::string_view digits = text;
  if (digits.front() == '+' || digits.front() == '-')
    digits.remove_prefix(1);
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (text.front() == '-')
    value = -value;
  char buffer[24];
  auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

Task<void> deliver(std::shared_ptr<HttpSession> session, HttpRequest request) {
  try {
    co_await session->send(std::move(request));
  } catch (...) {
    // Events are best effort: a failed one is dropped, never retried or reported.
  }
}

}  // namespace

DesktopDiagnostics::DesktopDiagnostics(OrlithEnvironment environment, Preferences& preferences,
                                       HttpTransport& transport, std::string appVersion)
    : environment_(std::move(environment)),
      preferences_(preferences),
      appVersion_(std::move(appVersion)),
      session_(transport.makeSession(OrlithAuthClient::publicServiceSessionSettings(kTimeout))) {}

DiagnosticsDetail DesktopDiagnostics::filterDiagnosticsMetadata(const DiagnosticsDetail& detail) {
  DiagnosticsDetail kept;
  if (detail.empty())
    return kept;
  if (auto domain = detail.find("domain");
      domain != detail.end() && isOneOf(kAllowedDomains, domain->second)) {
    kept.insert(*domain);
  }
  if (auto code = detail.find("code"); code != detail.end()) {
    if (auto decimal = plainDecimal(code->second))
      kept["code"] = *decimal;
  }
  if (auto reason = detail.find("reason");
      reason != detail.end() && isOneOf(kAllowedReasons, reason->second)) {
    kept.insert(*reason);
  }
  return kept;
}

std::optional<std::string> DesktopDiagnostics::eventBody(std::string_view name,
                                                         const DiagnosticsDetail& detail,
                                                         const std::string& appVersion) {
  nlohmann::json event = nlohmann::json::object();
  event["name"] = std::string(name);
  event["appVersion"] = appVersion;
  event["platform"] = std::string(wire::kDiagnosticsPlatform);
  event["arch"] = std::string(kArch);
  event["packaged"] = true;
  event["detail"] = nlohmann::json::object();
  for (const auto& [key, value] : filterDiagnosticsMetadata(detail))
    event["detail"][key] = value;
  try {
    return event.dump();
  } catch (const nlohmann::json::exception&) {
    return std::nullopt;
  }
}

void DesktopDiagnostics::send(std::string_view name, const DiagnosticsDetail& detail) {
  if (!preferences_.boolean(std::string(kOptInKey)).value_or(false))
    return;
  if (!isOneOf(allowedEvents, name))
    return;
  auto body = eventBody(name, detail, appVersion_);
  if (!body)
    return;

  const std::string origin = environment_.originString();
  auto url = Url::parse(origin + std::string(wire::kDiagnosticsEventsPath));
  HttpRequest request;
  request.url = url ? url->absoluteString() : environment_.origin().absoluteString();
  request.method = "POST";
  request.headers.set("Content-Type", "application/json");
  request.headers.set("Accept", "application/json");
  request.headers.set("User-Agent", std::string(wire::kUserAgentPrefix) + appVersion_);
  request.body = std::move(*body);
  request.timeout = kTimeout;
  startDetached(deliver(session_, std::move(request)), TaskPriority::utility);
}

void DesktopDiagnostics::cancelAll() {
  session_->cancelAll();
}

}  // namespace orlith
