// The CSS of the tab chips and the new-tab button, made from their presentation rules and
// installed once per display. It needs no appearance of its own: each control carries an
// explicit dark or light class from its strip.
#pragma once

#include <gdkmm/display.h>

#include <string>

namespace orlith {

inline constexpr const char* kWorkspaceTabChipClass = "orlith-tab-chip";
inline constexpr const char* kWorkspaceNewTabButtonClass = "orlith-new-tab";

class WorkspaceChipStyleSheet {
 public:
  static std::string css();
  static void ensureInstalled(const Glib::RefPtr<Gdk::Display>& display);
};

}  // namespace orlith
