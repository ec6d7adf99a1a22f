// The terms line under the sign-in column: its Markdown text turned into Pango markup, where
// only https links on the service's own host become links.
#pragma once

#include <string>
#include <string_view>

namespace orlith {

// The key of the line; each "%@" stands for the service origin ("https://host[:port]").
inline constexpr std::string_view kTermsNoticeKey =
    "By continuing, you agree to the [Orlith Terms](%@/terms) and [Privacy Policy](%@/privacy).";

// `[text](url)` becomes `<a href="url">text</a>` when the url is https on `host` (lower case);
// any other link keeps only its text. Everything else is escaped, so the result is safe markup.
std::string termsNoticeMarkup(std::string_view markdown, std::string_view host);

// Replaces every "%@" of a localized template with `value`.
std::string formatTemplate(std::string_view localizedTemplate, std::string_view value);

}  // namespace orlith
