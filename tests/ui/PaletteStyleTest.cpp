// The palette's named colours on a real display: GTK reads every definition, and the sheet
// follows the app's resolved appearance.
#include <gmock/gmock.h>
#include <gtkmm.h>

#include "signin/gtk/AuthKitStyleSheet.h"
#include "support/FakePreferences.h"
#include "ui/AppearanceStyleProvider.h"
#include "ui/BrandKitStyleSheet.h"
#include "ui/PaletteStyleSheet.h"
#include "workspace/surface/OrlithPalette.h"
#include "workspace/window/gtk/WorkspaceChipStyleSheet.h"
#include "workspace/window/gtk/WorkspaceChromeStyle.h"

namespace orlith {
namespace {

class StubAppearanceEnvironment final : public AppearanceEnvironment {
 public:
  bool systemIsDark() const override { return systemDark; }
  void setAppAppearance(AppAppearance appearance) override { current = appearance; }
  AppAppearance appAppearance() const override { return current; }

  bool systemDark = false;
  AppAppearance current = AppAppearance::system;
};

// The colour GTK resolves for a name in the widget's style, in 8-bit channels.
std::optional<std::array<int, 4>> lookup(Gtk::Widget& widget, const std::string& name) {
  GdkRGBA colour;
  G_GNUC_BEGIN_IGNORE_DEPRECATIONS
  if (!gtk_style_context_lookup_color(gtk_widget_get_style_context(widget.gobj()), name.c_str(),
                                      &colour)) {
    return std::nullopt;
  }
  G_GNUC_END_IGNORE_DEPRECATIONS
  auto byte = [](float c) { return static_cast<int>(std::lround(c * 255)); };
  return std::array<int, 4>{byte(colour.red), byte(colour.green), byte(colour.blue),
                            byte(colour.alpha)};
}

std::array<int, 4> bytes(const SrgbColour& colour) {
  auto byte = [](double c) { return static_cast<int>(std::lround(c * 255)); };
  return {byte(colour.red), byte(colour.green), byte(colour.blue), byte(colour.alpha)};
}

TEST(PaletteStyle, EveryNameResolvesInBothAppearancesAndFollowsTheChoice) {
  Gtk::Label label("palette");
  auto palette = AppearanceStyleProvider::palette(Gdk::Display::get_default(), false);
  for (bool dark : {false, true}) {
    SCOPED_TRACE(dark ? "dark" : "light");
    palette->setDark(dark);
    for (const PaletteColour* colour : OrlithPalette::colours)
      EXPECT_EQ(lookup(label, colour->cssName()), bytes(colour->resolved(dark))) << colour->name;
    for (const PaletteAlias& alias : OrlithPalette::aliases)
      EXPECT_EQ(lookup(label, alias.cssName()), bytes(alias.colour.resolved(dark))) << alias.name;
  }

  FakePreferences preferences;
  StubAppearanceEnvironment environment;
  AppearanceSettings settings(preferences, environment);
  palette->follow(settings);
  EXPECT_FALSE(palette->isDark());
  EXPECT_EQ(lookup(label, "orlith_canvas"), bytes(OrlithPalette::canvas.light));
  settings.setPreference(OrlithAppearancePreference::dark);
  EXPECT_EQ(lookup(label, "orlith_canvas"), bytes(OrlithPalette::canvas.dark));
  settings.setPreference(OrlithAppearancePreference::system);
  EXPECT_FALSE(palette->isDark());
  environment.systemDark = true;
  environment.systemAppearanceChanged().emit();
  EXPECT_EQ(lookup(label, "orlith_ink"), bytes(OrlithPalette::ink.dark));

  palette.reset();
  EXPECT_EQ(lookup(label, "orlith_ink"), std::nullopt);
}

TEST(PaletteStyle, EverySheetOfTheAppParsesWithoutAnError) {
  const std::pair<const char*, std::string> sheets[] = {
      {"palette light", paletteStyleSheet(false)},
      {"palette dark", paletteStyleSheet(true)},
      {"brand kit", brandKitStyleSheet(false)},
      {"sign-in kit light", authKitStyleSheet(false)},
      {"sign-in kit dark", authKitStyleSheet(true)},
      {"tab chips", WorkspaceChipStyleSheet::css()},
      {"workspace chrome", WorkspaceChromeStyle::css()},
  };
  for (const auto& [name, css] : sheets) {
    auto provider = Gtk::CssProvider::create();
    std::vector<std::string> errors;
    provider->signal_parsing_error().connect(
        [&](const Glib::RefPtr<const Gtk::CssSection>& section, const Glib::Error& error) {
          errors.push_back(section->to_string() + ": " + error.what());
        });
    provider->load_from_data(css);
    EXPECT_THAT(errors, ::testing::IsEmpty()) << name;
  }
}

}  // namespace
}  // namespace orlith
