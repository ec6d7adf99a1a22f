// Tints and the new-tab button's states come from the same rules the unit tests pin.
#include "workspace/window/gtk/WorkspaceChipStyleSheet.h"

#include <gtkmm/cssprovider.h>
#include <gtkmm/stylecontext.h>

#include "ui/PaletteStyleSheet.h"
#include "workspace/window/WorkspaceTabChipPresentation.h"

namespace orlith {

std::string WorkspaceChipStyleSheet::css() {
  std::string css = R"css(
.orlith-tab-chip > button {
  all: unset;
  min-height: 24px;
}
.orlith-tab-chip > button.title > label { font-size: 13px; font-weight: 400; }
.orlith-tab-chip > button:focus-visible { outline: 2px solid alpha(currentColor, 0.5); outline-offset: -2px; border-radius: 6px; }
button.orlith-new-tab {
  all: unset;
  min-width: 28px;
  min-height: 26px;
  border-radius: 7px;
  transition: background-color 120ms ease-in-out;
}
/* A size the icon theme ships as a bitmap: no SVG decoder for one glyph. */
button.orlith-new-tab > image { -gtk-icon-size: 16px; }
)css";
  for (bool dark : {false, true}) {
    const std::string scheme = dark ? ".dark" : ".light";
    for (bool selected : {false, true}) {
      WorkspaceTabChipInput input;
      input.isDark = dark;
      input.selected = selected;
      const auto chip = presentWorkspaceTabChip(input, "");
      css += "." + std::string(kWorkspaceTabChipClass) + scheme +
             (selected ? ".selected" : ":not(.selected)") + " { color: " + cssColour(chip.tint) +
             "; }\n";
    }
    const std::string button = "button." + std::string(kWorkspaceNewTabButtonClass) + scheme;
    css += button +
           " { color: " + cssColour(presentWorkspaceNewTabButton(dark, false, false, "").glyph) +
           "; }\n";
    css += button + ":disabled { color: " +
           cssColour(presentWorkspaceNewTabButton(dark, true, false, "").glyph) + "; }\n";
    css += button + ":hover:not(:disabled) { background-color: " +
           cssColour(presentWorkspaceNewTabButton(dark, false, true, "").background) + "; }\n";
  }
  return css;
}

void WorkspaceChipStyleSheet::ensureInstalled(const Glib::RefPtr<Gdk::Display>& display) {
  static const char* const kKey = "orlith-chip-style-sheet";
  if (!display || g_object_get_data(G_OBJECT(display->gobj()), kKey))
    return;
  auto provider = Gtk::CssProvider::create();
  provider->load_from_data(css());
  Gtk::StyleContext::add_provider_for_display(display, provider,
                                              GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  // The display keeps the provider for as long as it lives.
  g_object_set_data_full(G_OBJECT(display->gobj()), kKey, provider->gobj_copy(), g_object_unref);
}

}  // namespace orlith
