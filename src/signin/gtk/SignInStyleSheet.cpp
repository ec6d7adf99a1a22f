#include "signin/gtk/SignInStyleSheet.h"

#include "signin/gtk/AuthKitStyleSheet.h"

namespace orlith {

std::string signInStyleSheet(bool) {
  return R"css(
.orlith-signin, .orlith-sheet, .orlith-alert { background-color: @orlith_canvas; color: @orlith_ink; }
.orlith-signin scrolledwindow, .orlith-signin viewport { background: none; }
.orlith-scene-title { font-size: 27px; font-weight: 600; color: @orlith_ink; }
.orlith-sheet-title { font-size: 22px; font-weight: 600; color: @orlith_ink; }
.orlith-alert-title { font-size: 13px; font-weight: 700; color: @orlith_ink; }
.orlith-subtitle { font-size: 13px; color: @orlith_inkMuted; }
.orlith-text-13, button.orlith-auth-link.orlith-text-13 { font-size: 13px; font-weight: 600; }
.orlith-muted { color: @orlith_inkMuted; }
.orlith-terms { font-size: 10px; color: @orlith_inkMuted; }
.orlith-terms link { color: @orlith_accentText; }
.orlith-confirmation { font-size: 13px; font-weight: 600; color: @orlith_success; }
.orlith-error-line { font-size: 13px; font-weight: 600; color: @orlith_danger; }
.orlith-back, button.orlith-auth-link.orlith-back { min-width: 32px; min-height: 32px; color: @orlith_ink; font-size: 22px; font-weight: 600; }
.orlith-input-row { padding-top: 16px; padding-bottom: 6px; border-bottom: 1px solid alpha(@orlith_hairline, 0.78); }
.orlith-input-caption { font-size: 10px; font-weight: 600; color: @orlith_inkMuted; }
entry.orlith-input, passwordentry.orlith-input {
  all: unset; font-size: 13px; color: @orlith_ink; caret-color: @orlith_accent; min-height: 26px;
}
entry.orlith-code { font-size: 20px; font-weight: 600; }
.orlith-mode-switch { border-bottom: 1px solid alpha(@orlith_hairline, 0.78); }
button.orlith-mode-tab {
  all: unset; padding: 10px 0; font-size: 13px; font-weight: 600; color: @orlith_inkMuted;
  border-bottom: 2px solid transparent; transition: color 120ms ease-out;
}
button.orlith-mode-tab:hover { color: @orlith_inkHover; }
button.orlith-mode-tab:checked { color: @orlith_ink; border-bottom-color: @orlith_ink; }
)css";
}

void addSignInStyleSheets(AppearanceStyleProvider& provider) {
  addAuthKitStyleSheet(provider);
  provider.addSheet("sign-in view", &signInStyleSheet);
}

}  // namespace orlith
