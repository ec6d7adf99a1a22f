// Parsers of the app's deep links.
#include "session/DeepLinks.h"

#include <glib.h>

#include <string_view>

#include "session/HttpHeaders.h"
#include "session/OrlithWire.h"

namespace orlith {
namespace {

bool hasSchemeAndHost(const Url& url, std::string_view host) {
  return url.scheme() == wire::kAppScheme && url.host() &&
         equalsIgnoringAsciiCase(*url.host(), host);
}

bool hasNoUserPortOrFragment(const Url& url) {
  return !url.hasCredentials() && !url.port() && !url.encodedFragment();
}

}  // namespace

std::optional<NativeAuthCallback> nativeAuthCallbackToken(const Url& url) {
  if (!hasSchemeAndHost(url, "auth") || url.path() != "/callback" ||
      !hasNoUserPortOrFragment(url)) {
    return std::nullopt;
  }
  std::optional<NativeAuthCallback> found;
  int matches = 0;
  for (const auto& item : url.queryItems()) {
    if (item.name != "token" && item.name != "pending")
      continue;
    ++matches;
    found = NativeAuthCallback{item.value.value_or(""), item.name == "pending"};
  }
  if (matches != 1 || found->value.empty())
    return std::nullopt;
  if (!g_utf8_validate_len(found->value.data(), found->value.size(), nullptr)) {
    return std::nullopt;
  }
  return found;
}

bool isBillingReturnURL(const Url& url) {
  return hasSchemeAndHost(url, "billing") && url.path() == "/return" &&
         hasNoUserPortOrFragment(url) && !url.query();
}

}  // namespace orlith
