// The strict parsers of the provider callback and the billing return link.
#include "session/DeepLinks.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

TEST(DeepLinksTest, CallbackTokenTable) {
  struct Case {
    const char* link;
    std::optional<NativeAuthCallback> expected;
  };
  const Case cases[] = {
      {"orlith://auth/callback?token=abc", NativeAuthCallback{"abc", false}},
      {"ORLITH://Auth/callback?token=abc", NativeAuthCallback{"abc", false}},
      {"orlith://auth/callback?pending=xyz&utm=1", NativeAuthCallback{"xyz", true}},
      {"orlith://auth/callback?token=a%20b%2Bc+d", NativeAuthCallback{"a b+c+d", false}},
      {"orlith://auth/callback?token=%20x%20", NativeAuthCallback{" x ", false}},
      {"orlith://auth/Callback?token=abc", std::nullopt},
      {"orlith://auth/callback?token=a&pending=b", std::nullopt},
      {"orlith://auth/callback?token=a&token=b", std::nullopt},
      {"orlith://auth/callback?Token=a", std::nullopt},
      {"orlith://auth/callback?token=", std::nullopt},
      {"orlith://auth/callback?token", std::nullopt},
      {"orlith://auth/callback", std::nullopt},
      {"orlith://auth/callback?token=abc#x", std::nullopt},
      {"orlith://auth/callback?token=abc#", std::nullopt},
      {"orlith://auth:1/callback?token=abc", std::nullopt},
      {"orlith://user@auth/callback?token=abc", std::nullopt},
      {"orlith://auth/callback/extra?token=abc", std::nullopt},
      {"orlith://billing/callback?token=abc", std::nullopt},
      {"https://auth/callback?token=abc", std::nullopt},
      {"orlith://auth/callback?token=%FF", std::nullopt},
  };
  for (const auto& c : cases) {
    auto url = Url::parse(c.link);
    ASSERT_TRUE(url) << c.link;
    EXPECT_EQ(nativeAuthCallbackToken(*url), c.expected) << c.link;
  }
}

TEST(DeepLinksTest, BillingReturnTable) {
  const std::pair<const char*, bool> cases[] = {
      {"orlith://billing/return", true},      {"ORLITH://BILLING/return", true},
      {"orlith://billing/return?x=1", false}, {"orlith://billing/return?", false},
      {"orlith://billing/return#", false},    {"orlith://billing/Return", false},
      {"orlith://billing/return/x", false},   {"orlith://billing:8/return", false},
      {"orlith://u@billing/return", false},   {"orlith://auth/return", false},
  };
  for (const auto& [link, expected] : cases) {
    auto url = Url::parse(link);
    ASSERT_TRUE(url) << link;
    EXPECT_EQ(isBillingReturnURL(*url), expected) << link;
  }
}

}  // namespace
}  // namespace orlith
