// The ways of signing in that a provider button stands for.
#pragma once

namespace orlith {

enum class AuthSocialButtonKind { google, github, email };

}  // namespace orlith
