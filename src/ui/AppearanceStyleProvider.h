// Style sheets that have a light and a dark form, installed on a display and switched whenever
// the app's resolved appearance changes. The palette's named colours come first; views whose
// CSS uses them add their own sheets to the same provider.
#pragma once

#include <gdkmm/display.h>
#include <gtkmm/cssprovider.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/Observable.h"
#include "workspace/surface/OrlithAppearancePreference.h"

namespace orlith {

class AppearanceStyleProvider {
 public:
  using CssForAppearance = std::function<std::string(bool isDark)>;

  // Installs an empty provider on `display` at `priority` (a GTK_STYLE_PROVIDER_PRIORITY_*).
  AppearanceStyleProvider(Glib::RefPtr<Gdk::Display> display, bool isDark, unsigned priority);
  ~AppearanceStyleProvider();
  AppearanceStyleProvider(const AppearanceStyleProvider&) = delete;
  AppearanceStyleProvider& operator=(const AppearanceStyleProvider&) = delete;

  // The palette's named colours (paletteStyleSheet), at application priority.
  static std::unique_ptr<AppearanceStyleProvider> palette(Glib::RefPtr<Gdk::Display> display,
                                                          bool isDark);

  // Appends a sheet under `key`; a key already present is left as it is, so every view may add
  // its sheet when it is made.
  void addSheet(const std::string& key, CssForAppearance cssFor);
  bool hasSheet(const std::string& key) const;

  // Follows the app's resolved appearance from now on: the stored choice and the desktop's state.
  void follow(AppearanceSettings& settings);
  // Loads the other form when `isDark` differs from the one in force.
  void setDark(bool isDark);
  bool isDark() const { return isDark_; }

 private:
  void load();

  Glib::RefPtr<Gdk::Display> display_;
  Glib::RefPtr<Gtk::CssProvider> provider_;
  std::vector<std::pair<std::string, CssForAppearance>> sheets_;
  bool isDark_;
  ScopedConnection appearanceConnection_;
};

}  // namespace orlith
