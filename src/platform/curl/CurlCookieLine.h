// Cookies in the Netscape line form that libcurl's cookie engine reads and writes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "session/HttpCookie.h"

namespace orlith {

std::optional<HttpCookie> cookieFromNetscapeLine(std::string_view line);
std::string netscapeLineFor(const HttpCookie& cookie);

}  // namespace orlith
