// Sizes in px: one point of the design is one logical pixel.
#include "update/client/gtk/UpdateClientStyleSheet.h"

namespace orlith {

std::string updateClientStyleSheet(bool isDark) {
  const std::string highlight = isDark ? "rgba(255, 255, 255, 0.1)" : "rgba(0, 0, 0, 0.07)";
  const std::string accent = isDark ? "rgb(255, 148, 79)" : "rgb(196, 77, 15)";
  const std::string secondary = isDark ? "rgb(204, 204, 204)" : "rgb(103, 103, 103)";
  const std::string panel = isDark ? "rgb(25, 25, 25)" : "rgb(255, 255, 255)";
  // The highlight is a 3.5 px inset fill; the 26 px buttons get it as a centred 19 px image,
  // the bordered ones as an inset shadow.
  return R"(
.orlith-update-chrome-button, .orlith-update-chrome-button > button {
  outline: none; box-shadow: none; min-width: 0; min-height: 0; padding: 0;
}
.orlith-update-indicator > button, button.orlith-update-close {
  background: none; border: none; min-width: 26px; min-height: 26px;
}
.orlith-update-indicator > button:focus-visible:not(:backdrop),
button.orlith-update-close:focus-visible:not(:backdrop) {
  background-image: linear-gradient()" +
         highlight + ", " + highlight + R"();
  background-size: 19px 19px; background-position: center; background-repeat: no-repeat;
  border-radius: 4px;
}
button.orlith-update-action:focus-visible:not(:backdrop) {
  box-shadow: inset 0 0 0 3.5px transparent, inset 0 0 0 100px )" +
         highlight + R"(;
}
.orlith-update-indicator .orlith-update-glyph { color: )" +
         secondary + R"(; }
.orlith-update-indicator.accent .orlith-update-glyph { color: )" +
         accent + R"(; }
popover.orlith-update-panel > contents { background-color: )" +
         panel + R"(; padding: 0; }
popover.orlith-update-panel > arrow { background-color: )" +
         panel + R"(; }
.orlith-update-panel .secondary { color: )" +
         secondary + R"(; }
.orlith-update-panel .brand { font-size: 13px; font-weight: 600; }
.orlith-update-panel .version { font-size: 11px; }
.orlith-update-panel .heading { font-size: 18px; font-weight: 600; }
.orlith-update-panel .detail { font-size: 13px; }
.orlith-update-panel .error-line { font-size: 12px; }
.orlith-update-panel .percent { font-size: 11px; font-feature-settings: "tnum"; }
.orlith-update-panel button.orlith-update-action {
  font-size: 12px; font-weight: 600; min-height: 36px; padding: 0 12px;
}
.orlith-update-panel button.orlith-update-close image { color: )" +
         secondary + R"(; }
)";
}

void addUpdateClientStyleSheet(AppearanceStyleProvider& provider) {
  provider.addSheet("update-client", &updateClientStyleSheet);
}

}  // namespace orlith
