#include "signin/EmailAuthMode.h"

namespace orlith {

std::string_view rawValue(EmailAuthMode mode) {
  return mode == EmailAuthMode::signIn ? "Sign in" : "Create";
}

std::optional<EmailAuthMode> emailAuthModeFromRawValue(std::string_view text) {
  for (EmailAuthMode mode : kAllEmailAuthModes) {
    if (rawValue(mode) == text)
      return mode;
  }
  return std::nullopt;
}

}  // namespace orlith
