// Origins of web pages written the two ways the readiness handshake needs: as the page's own
// `location.origin` shows them, and in the native form that always names the port.
#pragma once

#include <optional>
#include <string>

#include "base/Url.h"

namespace orlith {

// "scheme://host[:port]" as a browser serialises an http(s) origin: scheme and host in lower
// case, the port left out when it is the scheme's default. None for other schemes, URLs with
// credentials and URLs without a host.
std::optional<std::string> webSerialisedOrigin(const Url& url);

// "scheme://host:port" of an http(s) URL, the port always written (443 or 80 when absent), so
// that one origin has exactly one text. None for other schemes, credentials or no host.
std::optional<std::string> portExplicitOrigin(const Url& url);

}  // namespace orlith
