// The chrome's CSS. Colours come from the logic's table, so the numbers live in one place.
#include "workspace/window/gtk/WorkspaceChromeStyle.h"

#include "workspace/window/WorkspaceChromeColors.h"

namespace orlith::WorkspaceChromeStyle {

namespace {

namespace colors = WorkspaceChromeColors;

std::string rules(ChromeAppearance appearance, const std::string& scope) {
  const std::string chrome = ".orlith-chrome" + scope;
  std::string text;
  text += chrome + " { background-color: " +
          colors::barBackground(appearance, WindowActivity::active).css() + "; }\n";
  text += chrome + ".inactive { background-color: " +
          colors::barBackground(appearance, WindowActivity::inactive).css() + "; }\n";
  text += chrome +
          " .orlith-chrome-separator { background-color: " + colors::separator(appearance).css() +
          "; }\n";
  text += chrome + " .orlith-tool-button { color: " + colors::toolSymbol(appearance, true).css() +
          "; }\n";
  text += chrome +
          " .orlith-tool-button:disabled { color: " + colors::toolSymbol(appearance, false).css() +
          "; }\n";
  text += chrome + " .orlith-tool-button:hover:not(:disabled) { background-color: " +
          colors::toolHoverFill(appearance).css() + "; }\n";
  text += chrome + " .orlith-tool-spinner { color: " + colors::spinner(appearance).css() + "; }\n";
  text += chrome +
          " .orlith-account-menu > button { color: " + colors::accountSymbol(appearance).css() +
          "; }\n";
  const std::string shadow = ".orlith-chrome-shadow" + scope;
  text += shadow + " { background-color: " + colors::shadow(appearance).css() + "; }\n";
  return text;
}

}  // namespace

std::string css() {
  std::string text =
      ".orlith-chrome { min-height: 34px; padding: 0 10px 0 0; }\n"
      ".orlith-chrome .orlith-tool-button, .orlith-chrome .orlith-account-menu > button {"
      " all: unset; min-width: 26px; min-height: 26px; border-radius: 6px; }\n"
      ".orlith-chrome .orlith-account-menu > button { min-width: 30px; }\n"
      // The theme dims disabled symbols on its own; the greys above already say it.
      ".orlith-chrome image { -gtk-icon-filter: none; opacity: 1; }\n"
      ".orlith-chrome .orlith-chrome-separator { min-width: 1px; min-height: 18px; }\n"
      ".orlith-chrome-shadow { min-height: 1px; }\n";
  text += rules(ChromeAppearance::light, "");
  text += rules(ChromeAppearance::dark, ".dark");
  return text;
}

void install() {
  static bool installed = false;
  auto display = Gdk::Display::get_default();
  if (installed || !display)
    return;
  auto provider = Gtk::CssProvider::create();
  provider->load_from_data(css());
  Gtk::StyleContext::add_provider_for_display(display, provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  installed = true;
}

bool animationsEnabled() {
  auto settings = Gtk::Settings::get_default();
  return !settings || settings->property_gtk_enable_animations().get_value();
}

void setAccessibleLabel(Gtk::Widget& widget, const std::string& label) {
  gtk_accessible_update_property(GTK_ACCESSIBLE(widget.gobj()), GTK_ACCESSIBLE_PROPERTY_LABEL,
                                 label.c_str(), -1);
}

void setAccessibleRole(Gtk::Widget& widget, GtkAccessibleRole role) {
  g_object_set(widget.gobj(), "accessible-role", role, nullptr);
}

}  // namespace orlith::WorkspaceChromeStyle
