// libcurl's cookie lines as the transport reads them back, and the line written for a cookie.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/curl/CurlCookieLine.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto cookie =
      orlith::cookieFromNetscapeLine(std::string_view(reinterpret_cast<const char*>(data), size));
  if (cookie) {
    cookie->isExpired(std::chrono::system_clock::now());
    orlith::cookieFromNetscapeLine(orlith::netscapeLineFor(*cookie));
  }
  return 0;
}
