// The readiness rules of one document.
#include "workspace/surface/SurfaceReadiness.h"

#include <algorithm>

#include "base/Text.h"
#include "workspace/surface/WebOrigin.h"

namespace orlith {

std::optional<std::string> SurfaceReadiness::readinessOrigin(const Url& url) {
  return portExplicitOrigin(url);
}

std::string SurfaceReadiness::makeTicket(UuidSource& uuids) {
  std::string ticket = uuids.next();
  std::erase(ticket, '-');
  return asciiLowercase(ticket);
}

void SurfaceReadiness::arm(std::string ticket, std::optional<std::string> committedOrigin,
                           double now) {
  reset();
  ticket_ = std::move(ticket);
  committedOrigin_ = std::move(committedOrigin);
  lastSurfaceCheck_ = now;
}

bool SurfaceReadiness::recordSurfaceCheck(bool isRenderable, double now) {
  if (!ticket_ || isReady_ || !lastSurfaceCheck_)
    return false;
  if (!wasRenderable_) {
    lastSurfaceCheck_ = now;
    wasRenderable_ = isRenderable;
    return isRenderable && activeSurfaceSeconds_ >= renderableSecondsLimit_;
  }
  if (!isRenderable) {
    lastSurfaceCheck_ = now;
    wasRenderable_ = false;
    return false;
  }
  // A clock that went backwards adds nothing.
  activeSurfaceSeconds_ += std::max(0.0, now - *lastSurfaceCheck_);
  lastSurfaceCheck_ = now;
  return activeSurfaceSeconds_ >= renderableSecondsLimit_;
}

bool SurfaceReadiness::markReady(std::string_view ticket, std::string_view origin) {
  if (isReady_ || !ticket_ || ticket != *ticket_)
    return false;
  if (!committedOrigin_ || origin != *committedOrigin_)
    return false;
  isReady_ = true;
  ticket_.reset();
  lastSurfaceCheck_.reset();
  return true;
}

bool SurfaceReadiness::markReportedReady(std::string_view ticket, std::string_view reportedOrigin) {
  auto url = Url::parse(reportedOrigin);
  if (!url)
    return false;
  auto origin = readinessOrigin(*url);
  return origin && markReady(ticket, *origin);
}

}  // namespace orlith
