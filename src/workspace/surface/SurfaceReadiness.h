// The readiness of the current document: the one-time ticket handed to the page's readiness
// script, the committed origin, and the renderable time that makes the tab give up waiting.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/Url.h"
#include "base/Uuid.h"

namespace orlith {

class SurfaceReadiness {
 public:
  // Renderable seconds after which a page that never reported its surface counts as failed.
  static constexpr double kRenderableSecondsLimit = 8.0;

  // `renderableSecondsLimit` is shortened only by tests.
  explicit SurfaceReadiness(double renderableSecondsLimit = kRenderableSecondsLimit)
      : renderableSecondsLimit_(renderableSecondsLimit) {}

  // The native form of a document's origin on both sides of the handshake: port always
  // written. None for other schemes, URLs with credentials and URLs without a host.
  static std::optional<std::string> readinessOrigin(const Url& url);
  // 32 lower-case hexadecimal characters: a fresh UUID without its dashes.
  static std::string makeTicket(UuidSource& uuids);

  // Armed: a new ticket and a committed origin; the check clock starts at `now` (seconds).
  void arm(std::string ticket, std::optional<std::string> committedOrigin, double now);

  // Back to no ticket, no origin, not ready; the limit stays.
  void reset() { *this = SurfaceReadiness(renderableSecondsLimit_); }

  // A check of the surface timer; true means the page had the limit's renderable
  // seconds without reporting, and the tab is to give up. The first check after arming only
  // starts the count; a check that is not renderable pauses it.
  bool recordSurfaceCheck(bool isRenderable, double now);

  // A report of the page's readiness script; true when accepted. `origin` is compared in the
  // native form, so it must come from readinessOrigin().
  bool markReady(std::string_view ticket, std::string_view origin);
  // A report as the page sends it: `reportedOrigin` is the page's `location.origin`, which
  // leaves out a default port; it is brought into the native form before it is compared.
  bool markReportedReady(std::string_view ticket, std::string_view reportedOrigin);

  const std::optional<std::string>& ticket() const { return ticket_; }
  const std::optional<std::string>& committedOrigin() const { return committedOrigin_; }
  void setCommittedOrigin(std::optional<std::string> origin) {
    committedOrigin_ = std::move(origin);
  }
  bool isReady() const { return isReady_; }
  const std::optional<double>& lastSurfaceCheck() const { return lastSurfaceCheck_; }
  bool wasRenderable() const { return wasRenderable_; }
  double activeSurfaceSeconds() const { return activeSurfaceSeconds_; }

 private:
  double renderableSecondsLimit_;
  std::optional<std::string> ticket_;
  std::optional<std::string> committedOrigin_;
  bool isReady_ = false;
  std::optional<double> lastSurfaceCheck_;
  bool wasRenderable_ = false;
  double activeSurfaceSeconds_ = 0;
};

}  // namespace orlith
