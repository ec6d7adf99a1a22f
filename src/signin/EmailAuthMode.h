// The two modes of the e-mail form: signing in to an account or creating one. The raw value is
// also the mode switch's tab title.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace orlith {

enum class EmailAuthMode { signIn, signUp };

inline constexpr std::array<EmailAuthMode, 2> kAllEmailAuthModes{EmailAuthMode::signIn,
                                                                 EmailAuthMode::signUp};

// "Sign in" and "Create".
std::string_view rawValue(EmailAuthMode mode);
// Exactly the raw values; any other text, other capitalisation included, gives none.
std::optional<EmailAuthMode> emailAuthModeFromRawValue(std::string_view text);

}  // namespace orlith
