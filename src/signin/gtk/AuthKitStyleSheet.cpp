// The kit's CSS. Hover looks sit under :hover:not(:disabled), so a disabled control never takes
// one; opacity goes on both a button and its label, so the two multiply.
#include "signin/gtk/AuthKitStyleSheet.h"

#include "workspace/surface/OrlithPalette.h"

namespace orlith {
namespace {

// A link takes one palette colour, named by a class of the colour's name.
std::string linkColours() {
  std::string css;
  for (const PaletteColour* colour : OrlithPalette::colours) {
    css += "button." + std::string(kAuthLinkButtonClass) + "." + linkColourClass(*colour) +
           " { color: @" + colour->cssName() + "; }\n";
  }
  return css;
}

}  // namespace

std::string linkColourClass(const PaletteColour& colour) {
  return colour.cssName();
}

std::string authKitStyleSheet(bool isDark) {
  // The provider button's border is the control border, a little stronger in the dark.
  const std::string socialBorder =
      isDark ? "alpha(@orlith_controlBorder, 0.82)" : "alpha(@orlith_controlBorder, 0.72)";
  return R"css(
.orlith-loading-veil { background-color: alpha(@orlith_canvas, 0.86); }
.orlith-loading-veil .orlith-spinner { color: @orlith_accent; }

.orlith-brand-word { font-size: 30px; font-weight: 600; color: @orlith_ink; }
.orlith-brand-subtitle { font-size: 11px; color: @orlith_inkMuted; }

.orlith-auth-primary-label .orlith-spinner { color: @orlith_onPrimaryFill; }

button.orlith-auth-social {
  all: unset;
  min-height: 38px;
  border-radius: 9999px;
  border: 1px solid )css" +
         socialBorder + R"css(;
  background-color: white;
  background-image: none;
  color: rgb(31.110,31.110,31.110);
  font-size: 15px;
  font-weight: 500;
  transition: background-image 120ms ease-out, transform 120ms ease-out, opacity 120ms ease-out;
}
button.orlith-auth-social:hover:not(:disabled) {
  background-image: linear-gradient(rgba(0,0,0,0.05), rgba(0,0,0,0.05));
}
button.orlith-auth-social:disabled:not(.preserves-disabled-appearance) { opacity: 0.48; }
button.orlith-auth-social:active { transform: scale(0.985); opacity: 0.82; }
.orlith-auth-social-label { transition: opacity 140ms ease-out; }
.orlith-auth-social-label:disabled:not(.loading) { opacity: 0.48; }
.orlith-auth-social-label .orlith-spinner { color: rgb(31.110,31.110,31.110); }

button.orlith-auth-link { all: unset; transition: opacity 100ms ease-out; }
button.orlith-auth-link:hover:not(:disabled) > label { text-decoration-line: underline; }
button.orlith-auth-link:disabled { opacity: 0.5; }
button.orlith-auth-link:active { opacity: 0.6; }
)css" + linkColours();
}

void addAuthKitStyleSheet(AppearanceStyleProvider& provider) {
  addBrandKitStyleSheet(provider);
  provider.addSheet("sign-in kit", &authKitStyleSheet);
}

}  // namespace orlith
