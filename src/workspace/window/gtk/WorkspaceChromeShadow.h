// The 1 px line the workspace view places directly under the chrome.
#pragma once

#include <gtkmm.h>

namespace orlith {

class WorkspaceChromeShadow : public Gtk::Box {
 public:
  WorkspaceChromeShadow();
  void setDark(bool dark);
};

}  // namespace orlith
