// Sizes in px: one point of the design is one logical pixel.
#include "workspace/window/gtk/WorkspaceViewStyle.h"

namespace orlith {

std::string workspaceViewStyleSheet(bool) {
  // The named colours already follow the appearance; the sheet itself is the same in both.
  return R"(
.orlith-canvas { background-color: @orlith_canvas; }
.orlith-startup-cover .orlith-spinner { color: @orlith_inkMuted; }
.orlith-error-view .icon { color: @orlith_inkMuted; -gtk-icon-size: 32px; }
.orlith-error-view .title { color: @orlith_ink; font-size: 18px; font-weight: 600; }
.orlith-error-view .detail { color: @orlith_inkMuted; }
)";
}

void addWorkspaceViewStyleSheet(AppearanceStyleProvider& provider) {
  provider.addSheet("workspace-view", &workspaceViewStyleSheet);
}

}  // namespace orlith
