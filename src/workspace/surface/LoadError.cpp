// The mapping of engine errors to load errors, and the offline set.
#include "workspace/surface/LoadError.h"

#include <algorithm>
#include <array>

namespace orlith {

LoadError LoadError::fromEngine(const EngineError& error) {
  auto url = [](int code) { return LoadError{std::string(kUrlDomain), code}; };
  switch (error.kind) {
    case EngineErrorKind::cancelled:
      return url(kCancelled);
    case EngineErrorKind::interruptedByPolicy:
      return {std::string(kWebKitDomain), kFrameLoadInterrupted};
    case EngineErrorKind::connectionRefused:
      return url(-1004);
    case EngineErrorKind::hostNotFound:
      return url(-1003);
    case EngineErrorKind::timedOut:
      return url(kTimedOut);
    case EngineErrorKind::unreachable:
      return url(-1009);
    case EngineErrorKind::connectionLost:
      return url(-1005);
    case EngineErrorKind::dnsTemporaryFailure:
      return url(-1006);
    case EngineErrorKind::tls:
      return url(-1202);
    case EngineErrorKind::other:
      break;
  }
  return {error.domain, error.code};
}

bool LoadError::isOffline() const {
  static constexpr std::array<int, 8> kOfflineCodes = {-1009, -1005, -1001, -1003,
                                                       -1004, -1006, -1018, -1020};
  return domain == kUrlDomain &&
         std::find(kOfflineCodes.begin(), kOfflineCodes.end(), code) != kOfflineCodes.end();
}

bool LoadError::isInterruption() const {
  return (domain == kUrlDomain && code == kCancelled) ||
         (domain == kWebKitDomain && code == kFrameLoadInterrupted);
}

}  // namespace orlith
