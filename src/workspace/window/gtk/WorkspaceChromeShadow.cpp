// The line under the chrome.
#include "workspace/window/gtk/WorkspaceChromeShadow.h"

#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {

WorkspaceChromeShadow::WorkspaceChromeShadow() {
  WorkspaceChromeStyle::install();
  add_css_class("orlith-chrome-shadow");
  set_size_request(-1, 1);
  set_hexpand(true);
  WorkspaceChromeStyle::setAccessibleRole(*this, GTK_ACCESSIBLE_ROLE_PRESENTATION);
}

void WorkspaceChromeShadow::setDark(bool dark) {
  if (dark)
    add_css_class("dark");
  else
    remove_css_class("dark");
}

}  // namespace orlith
