// libcurl's cookie lines as the transport reads them back: far-future expiries stay in the future.
#include "platform/curl/CurlCookieLine.h"

#include <gtest/gtest.h>

#include <chrono>

namespace orlith {
namespace {

TEST(CurlCookieLineTest, ExpiriesBeyondTheClockReadAsFarFutureNotAsPast) {
  const auto now = std::chrono::system_clock::now();
  const auto in2100 = now + std::chrono::hours(24 * 365 * 70);
  const struct {
    const char* expiry;
    const char* meaning;
  } cases[] = {
      {"253402300799", "Expires=Fri, 31 Dec 9999 23:59:59 GMT"},
      {"9223372036854775807", "the largest Max-Age"},
      {"9223372036", "just past the clock's end in 2262"},
  };
  for (const auto& c : cases) {
    const std::string line =
        std::string("#HttpOnly_127.0.0.1\tFALSE\t/\tTRUE\t") + c.expiry + "\torlith_session\tabc";
    const auto cookie = cookieFromNetscapeLine(line);
    ASSERT_TRUE(cookie) << c.meaning;
    ASSERT_TRUE(cookie->expires) << c.meaning;
    EXPECT_GT(*cookie->expires, in2100) << c.meaning;
    EXPECT_FALSE(cookie->isExpired(now)) << c.meaning;
    // Written back and read again, it is still far in the future.
    const auto again = cookieFromNetscapeLine(netscapeLineFor(*cookie));
    ASSERT_TRUE(again && again->expires) << c.meaning;
    EXPECT_EQ(*again->expires, *cookie->expires) << c.meaning;
  }
  const auto past = cookieFromNetscapeLine("127.0.0.1\tFALSE\t/\tTRUE\t-9223372036854775807\ta\tb");
  ASSERT_TRUE(past && past->expires);
  EXPECT_TRUE(past->isExpired(now));
}

}  // namespace
}  // namespace orlith
