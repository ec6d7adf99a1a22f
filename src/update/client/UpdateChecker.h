// One update check: asks the service for the latest release, verifies the signed manifest with
// the app's own key, applies the manifest policy and the version order, and answers available,
// up to date or failed with a user text. Keeps no state between checks and never throws.
#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "base/Task.h"
#include "session/HttpTransport.h"
#include "session/OrlithEnvironment.h"
#include "update/client/VerifiedUpdateRelease.h"
#include "update/trust/UpdateTrustedHosts.h"

namespace orlith {

struct UpdateCheckResult {
  enum class Kind { available, failed, upToDate };

  Kind kind = Kind::upToDate;
  std::optional<VerifiedUpdateRelease> release;  // available only
  std::string message;                           // failed only

  static UpdateCheckResult available(VerifiedUpdateRelease release) {
    return {Kind::available, std::move(release), {}};
  }
  static UpdateCheckResult failed(std::string message) {
    return {Kind::failed, std::nullopt, std::move(message)};
  }
  static UpdateCheckResult upToDate() { return {}; }
};

// What the check compares against: the build's facts in the app, other values in tests.
struct UpdateCheckerContext {
  OrlithEnvironment environment;
  std::string appVersion;                // the running version ("1.0" without a bundle value)
  std::optional<std::string> publicKey;  // the bundle's OrlithUpdatePublicKey text
  UpdateTrustedHosts hosts;
  std::string architecture;

  // The shared environment, the main bundle and the build's hosts and architecture.
  static UpdateCheckerContext ofApplication();
};

class UpdateChecker {
 public:
  static constexpr std::chrono::seconds kTimeout{15};
  static constexpr std::uint64_t kMaximumReplySize = 262'144;

  // Makes the one session the checks share.
  UpdateChecker(HttpTransport& transport, UpdateCheckerContext context,
                std::chrono::milliseconds timeout = kTimeout);

  Task<UpdateCheckResult> check();

 private:
  UpdateCheckerContext context_;
  std::chrono::milliseconds timeout_;
  std::unique_ptr<HttpSession> session_;
};

}  // namespace orlith
