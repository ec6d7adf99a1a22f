// The kit's CSS. The filled button's hover look sits under :hover:not(:disabled), so a disabled
// button never takes it.
#include "ui/BrandKitStyleSheet.h"

namespace orlith {

std::string brandKitStyleSheet(bool) {
  return R"css(
.orlith-mark { background: none; }

.orlith-brand-loading { background-color: @orlith_canvas; }
.orlith-brand-loading .orlith-spinner { color: @orlith_accent; }

button.orlith-auth-filled {
  all: unset;
  min-height: 46px;
  border-radius: 10px;
  background-color: @orlith_primaryFill;
  color: @orlith_onPrimaryFill;
  font-size: 15px;
  font-weight: 600;
  transition: background-color 120ms ease-out, transform 120ms ease-out, opacity 120ms ease-out;
}
button.orlith-auth-filled:hover:not(:disabled) { background-color: alpha(@orlith_primaryFill, 0.9); }
button.orlith-auth-filled:active { transform: scale(0.985); }
button.orlith-auth-filled:disabled {
  background-color: alpha(@orlith_primaryFill, 0.42);
  opacity: 0.72;
}
)css";
}

void addBrandKitStyleSheet(AppearanceStyleProvider& provider) {
  provider.addSheet("brand kit", &brandKitStyleSheet);
}

}  // namespace orlith
