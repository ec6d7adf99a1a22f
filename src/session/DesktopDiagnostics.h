// The opt-in, anonymous diagnostics events: name, version, fixed platform values and a
// filtered detail, posted without cookies and never retried.
#pragma once

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Preferences.h"
#include "session/HttpTransport.h"
#include "session/OrlithEnvironment.h"

namespace orlith {

using DiagnosticsDetail = std::map<std::string, std::string>;

class DesktopDiagnostics {
 public:
  static constexpr std::string_view kOptInKey = "orlith.diagnostics";
  static constexpr std::array<std::string_view, 8> allowedEvents = {
      "app_started",     "app_ready",    "app_offline",      "app_online",
      "app_load_failed", "update_check", "deep_link_opened", "session_expired"};

  // Makes the process's public session (no cookies, 8 s, two connections per host).
  DesktopDiagnostics(OrlithEnvironment environment, Preferences& preferences,
                     HttpTransport& transport, std::string appVersion);

  // Fire and forget: returns at once, reports nothing, throws nothing. Main thread only.
  void send(std::string_view name, const DiagnosticsDetail& detail = {});
  // Ends every event in flight, as when the user switches diagnostics off.
  void cancelAll();

  // Keeps only a known "domain", a short integral "code" (rewritten in plain decimal) and a
  // known "reason".
  static DiagnosticsDetail filterDiagnosticsMetadata(const DiagnosticsDetail& detail);
  // The event's JSON text, or none when it cannot be serialised.
  static std::optional<std::string> eventBody(std::string_view name,
                                              const DiagnosticsDetail& detail,
                                              const std::string& appVersion);

 private:
  OrlithEnvironment environment_;
  Preferences& preferences_;
  std::string appVersion_;
  // Shared with the transfers in flight, which may outlive this object.
  std::shared_ptr<HttpSession> session_;
};

}  // namespace orlith
