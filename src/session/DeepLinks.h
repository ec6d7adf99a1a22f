// Strict parsers of the links that arrive on the app's own "orlith" scheme: the provider
// sign-in callback and the billing return. Any other shape is ignored.
#pragma once

#include <optional>
#include <string>

#include "base/Url.h"

namespace orlith {

struct NativeAuthCallback {
  std::string value;
  // False: a hand-off token to consume; true: a pending two-factor token.
  bool isPending = false;
  bool operator==(const NativeAuthCallback&) const = default;
};

// orlith://auth/callback with exactly one of "token" or "pending", non-empty.
std::optional<NativeAuthCallback> nativeAuthCallbackToken(const Url& url);

// orlith://billing/return, with nothing else.
bool isBillingReturnURL(const Url& url);

}  // namespace orlith
