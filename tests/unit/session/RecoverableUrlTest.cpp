// Which tab addresses may be remembered.
#include "session/RecoverableUrl.h"

#include <gtest/gtest.h>

namespace orlith {
namespace {

struct RecoverCase {
  std::string url;
  std::string origin;
  std::optional<std::string> expected;
};

class RecoverableUrlTest : public ::testing::TestWithParam<RecoverCase> {};

TEST_P(RecoverableUrlTest, KeepsOnlyAppPagesOfTheOriginWithoutQueryOrFragment) {
  auto url = Url::parse(GetParam().url);
  ASSERT_TRUE(url) << GetParam().url;
  auto result = recoverableURL(*url, *Url::parse(GetParam().origin));
  ASSERT_EQ(result.has_value(), GetParam().expected.has_value()) << GetParam().url;
  if (result) {
    EXPECT_EQ(result->absoluteString(), *GetParam().expected);
  }
}

const std::string kOrigin = "https://orlith.example";
const std::string kLongTail(4096, 'a');

INSTANTIATE_TEST_SUITE_P(
    Urls, RecoverableUrlTest,
    ::testing::Values(
        RecoverCase{"https://orlith.example/app", kOrigin, "https://orlith.example/app"},
        RecoverCase{"https://orlith.example/app/x?q=1#f", kOrigin, "https://orlith.example/app/x"},
        RecoverCase{"https://orlith.example/app?#", kOrigin, "https://orlith.example/app"},
        RecoverCase{"HTTPS://ORLITH.EXAMPLE/app/x", kOrigin, "HTTPS://ORLITH.EXAMPLE/app/x"},
        RecoverCase{"https://orlith.example/app", "HTTPS://Orlith.Example",
                    "https://orlith.example/app"},
        RecoverCase{"https://orlith.example/apps", kOrigin, std::nullopt},
        RecoverCase{"https://orlith.example/application", kOrigin, std::nullopt},
        RecoverCase{"https://orlith.example/", kOrigin, std::nullopt},
        RecoverCase{"https://other.example/app", kOrigin, std::nullopt},
        RecoverCase{"http://orlith.example/app", kOrigin, std::nullopt},
        RecoverCase{"https://orlith.example:443/app", kOrigin, std::nullopt},
        RecoverCase{"https://orlith.example/app", "https://orlith.example:443", std::nullopt},
        RecoverCase{"http://localhost:3000/app/x", "http://localhost:3000",
                    "http://localhost:3000/app/x"},
        RecoverCase{"https://user@orlith.example/app", kOrigin, std::nullopt},
        RecoverCase{"https://user:pw@orlith.example/app", kOrigin, std::nullopt},
        RecoverCase{"https://orlith.example/app/" + kLongTail.substr(0, 4096 - 27), kOrigin,
                    "https://orlith.example/app/" + kLongTail.substr(0, 4096 - 27)},
        RecoverCase{"https://orlith.example/app/" + kLongTail.substr(0, 4096 - 26), kOrigin,
                    std::nullopt},
        RecoverCase{"https://orlith.example/app?" + kLongTail, kOrigin, std::nullopt}));

}  // namespace
}  // namespace orlith
