// Every value on the wire that the service may rely on, in one place. The service already
// knows desktop clients by these exact values, so they stay as they are on every platform.
#pragma once

#include <array>
#include <string_view>

namespace orlith::wire {

// Identification of native requests.
inline constexpr std::string_view kUserAgentPrefix = "Orlith-macOS/";
inline constexpr std::string_view kWebUserAgentPrefix = "OrlithMac/";
inline constexpr std::string_view kNativeAppHeader = "X-Orlith-Native-App";
inline constexpr std::string_view kNativeAppValue = "orlith";
inline constexpr std::string_view kNativePlatformHeader = "X-Orlith-Native-Platform";
inline constexpr std::string_view kNativePlatformValue = "macos";
inline constexpr std::string_view kNativeBundleIdHeader = "X-Orlith-Native-Bundle-Id";
inline constexpr std::string_view kNativeVersionHeader = "X-Orlith-Native-Version";
inline constexpr std::string_view kNativeBuildHeader = "X-Orlith-Native-Build";
inline constexpr std::string_view kBundleIdFallback = "com.tolvik.orlith.mac";
inline constexpr std::string_view kAppVersionFallback = "1.0";
inline constexpr std::string_view kBuildVersionFallback = "1";

// The page bridge's platform value and the diagnostics platform value.
inline constexpr std::string_view kBridgePlatform = "macos";
inline constexpr std::string_view kDiagnosticsPlatform = "darwin";

// Deep links.
inline constexpr std::string_view kAppScheme = "orlith";
inline constexpr std::string_view kNativeCallbackUrl = "orlith://auth/callback";

// Session cookie names, in priority order.
inline constexpr std::array<std::string_view, 3> kSessionCookieNames = {
    "orlith_session", "velmar_session", "drunel_session"};

// Account API and desktop endpoints.
inline constexpr std::string_view kLoginPath = "/api/auth/login";
inline constexpr std::string_view kSignupRequestCodePath = "/api/auth/signup/request-code";
inline constexpr std::string_view kSignupVerifyCodePath = "/api/auth/signup/verify-code";
inline constexpr std::string_view kForgotPasswordPath = "/api/auth/forgot-password";
inline constexpr std::string_view kProviderPath = "/api/auth/provider";
inline constexpr std::string_view kNativeConsumePath = "/api/auth/native/consume";
inline constexpr std::string_view kTwoFactorChallengePath = "/api/auth/2fa/challenge";
inline constexpr std::string_view kLogoutPath = "/api/auth/logout";
inline constexpr std::string_view kBootstrapPath = "/api/app/bootstrap";
inline constexpr std::string_view kDiagnosticsEventsPath = "/api/desktop/events";
inline constexpr std::string_view kDesktopLatestPath = "/api/desktop/latest";

// Sign-in hosts of the identity providers.
inline constexpr std::string_view kGoogleProvider = "google";
inline constexpr std::string_view kGoogleSignInHost = "accounts.google.com";
inline constexpr std::string_view kGithubProvider = "github";
inline constexpr std::string_view kGithubSignInHost = "github.com";
inline constexpr std::string_view kGithubWwwSignInHost = "www.github.com";

}  // namespace orlith::wire
