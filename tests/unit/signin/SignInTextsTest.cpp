// Texts and parsing around the sign-in view: the mode's raw values and the terms line's markup.
#include <gmock/gmock.h>

#include "signin/EmailAuthMode.h"
#include "signin/TermsNotice.h"

namespace orlith {
namespace {

TEST(EmailAuthMode, ParsesOnlyTheExactRawValues) {
  const std::pair<const char*, std::optional<EmailAuthMode>> cases[] = {
      {"Sign in", EmailAuthMode::signIn},
      {"Create", EmailAuthMode::signUp},
      {"sign in", std::nullopt},
      {"CREATE", std::nullopt},
      {"Sign in ", std::nullopt},
      {" Create", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, mode] : cases)
    EXPECT_EQ(emailAuthModeFromRawValue(text), mode) << text;
  EXPECT_EQ(rawValue(kAllEmailAuthModes[0]), "Sign in");
  EXPECT_EQ(rawValue(kAllEmailAuthModes[1]), "Create");
}

TEST(TermsNotice, LinksOnlyHttpsOnTheServiceHostAndEscapesTheRest) {
  const std::pair<const char*, const char*> cases[] = {
      {"See [Terms](https://orlith.example/terms).",
       "See <a href=\"https://orlith.example/terms\">Terms</a>."},
      {"[Host case](HTTPS://Orlith.Example/t)",
       "<a href=\"HTTPS://Orlith.Example/t\">Host case</a>"},
      {"[Other](https://evil.example/terms) & <b>", "Other &amp; &lt;b&gt;"},
      {"[Plain](http://orlith.example/terms)", "Plain"},
      {"[Creds](https://user@orlith.example/terms)", "Creds"},
      {"[Quote](https://orlith.example/a?b=\"c\")", "Quote"},
      {"[Unclosed](https://orlith.example", "[Unclosed](https://orlith.example"},
      {"a [x [y](https://orlith.example/y)", "a [x <a href=\"https://orlith.example/y\">y</a>"},
  };
  for (const auto& [markdown, markup] : cases)
    EXPECT_EQ(termsNoticeMarkup(markdown, "orlith.example"), markup) << markdown;
}

TEST(TermsNotice, FormatsEveryPlaceholder) {
  EXPECT_EQ(formatTemplate("%@/a and %@/b", "https://h"), "https://h/a and https://h/b");
  EXPECT_EQ(formatTemplate("none", "x"), "none");
}

}  // namespace
}  // namespace orlith
