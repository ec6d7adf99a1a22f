// The scenes of the sign-in view and the focus identities of its text fields.
#pragma once

namespace orlith {

enum class AuthScene { welcome, email, verifyEmail, forgotPassword };

enum class AuthField { name, email, password, code };

}  // namespace orlith
