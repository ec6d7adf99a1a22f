// Which URLs a held cookie applies to.
#include "session/HttpCookie.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

using namespace std::chrono_literals;

TEST(HttpCookieTest, AppliesByDomainPathSecureAndExpiry) {
  const auto now = std::chrono::system_clock::time_point(1'700'000'000s);
  auto cookie = [](const char* domain, const char* path, bool secure) {
    HttpCookie made;
    made.name = "n";
    made.value = "v";
    made.domain = domain;
    made.path = path;
    made.secure = secure;
    return made;
  };
  struct Case {
    HttpCookie cookie;
    const char* scheme;
    const char* host;
    const char* path;
    bool applies;
  };
  HttpCookie expired = cookie("orlith.example", "/", false);
  expired.expires = now;
  HttpCookie live = cookie("orlith.example", "/", false);
  live.expires = now + 1s;
  const Case cases[] = {
      {cookie("orlith.example", "/", false), "https", "orlith.example", "/", true},
      {cookie("orlith.example", "/", false), "https", "ORLITH.example", "/x", true},
      {cookie("orlith.example", "/", false), "https", "www.orlith.example", "/", false},
      {cookie(".orlith.example", "/", false), "https", "www.orlith.example", "/", true},
      {cookie(".orlith.example", "/", false), "https", "orlith.example", "/", true},
      {cookie(".orlith.example", "/", false), "https", "evilorlith.example", "/", false},
      {cookie("orlith.example", "/api/auth", false), "https", "orlith.example", "/", false},
      {cookie("orlith.example", "/api/auth", false), "https", "orlith.example", "/api/auth/x",
       true},
      {cookie("orlith.example", "/api/auth", false), "https", "orlith.example", "/api/authx",
       false},
      {cookie("orlith.example", "/api/", false), "https", "orlith.example", "/api/x", true},
      {cookie("orlith.example", "/", true), "http", "orlith.example", "/", false},
      {cookie("orlith.example", "/", true), "HTTPS", "orlith.example", "/", true},
      {expired, "https", "orlith.example", "/", false},
      {live, "https", "orlith.example", "/", true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.cookie.appliesTo(c.scheme, c.host, c.path, now), c.applies)
        << c.cookie.domain << c.cookie.path << " " << c.scheme << "://" << c.host << c.path;
  }
}

}  // namespace
}  // namespace orlith
