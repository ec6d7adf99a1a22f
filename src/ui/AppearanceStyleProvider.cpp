// Loads the sheets' light or dark forms and keeps them in step with the appearance.
#include "ui/AppearanceStyleProvider.h"

#include <gtkmm/stylecontext.h>

#include <algorithm>

#include "ui/PaletteStyleSheet.h"

namespace orlith {

AppearanceStyleProvider::AppearanceStyleProvider(Glib::RefPtr<Gdk::Display> display, bool isDark,
                                                 unsigned priority)
    : display_(std::move(display)), provider_(Gtk::CssProvider::create()), isDark_(isDark) {
  Gtk::StyleContext::add_provider_for_display(display_, provider_, priority);
}

AppearanceStyleProvider::~AppearanceStyleProvider() {
  appearanceConnection_.disconnect();
  Gtk::StyleContext::remove_provider_for_display(display_, provider_);
}

std::unique_ptr<AppearanceStyleProvider> AppearanceStyleProvider::palette(
    Glib::RefPtr<Gdk::Display> display, bool isDark) {
  auto provider = std::make_unique<AppearanceStyleProvider>(
      std::move(display), isDark, GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
  provider->addSheet("palette", &paletteStyleSheet);
  return provider;
}

void AppearanceStyleProvider::addSheet(const std::string& key, CssForAppearance cssFor) {
  if (hasSheet(key))
    return;
  sheets_.emplace_back(key, std::move(cssFor));
  load();
}

bool AppearanceStyleProvider::hasSheet(const std::string& key) const {
  return std::any_of(sheets_.begin(), sheets_.end(),
                     [&](const auto& sheet) { return sheet.first == key; });
}

void AppearanceStyleProvider::follow(AppearanceSettings& settings) {
  appearanceConnection_ = settings.resolvedAppearanceChanged().connect(
      [this, &settings] { setDark(settings.resolvedIsDark()); });
  setDark(settings.resolvedIsDark());
}

void AppearanceStyleProvider::setDark(bool isDark) {
  if (isDark == isDark_)
    return;
  isDark_ = isDark;
  load();
}

void AppearanceStyleProvider::load() {
  std::string css;
  for (const auto& [key, cssFor] : sheets_)
    css += "/* " + key + " */\n" + cssFor(isDark_) + "\n";
  provider_->load_from_data(css);
}

}  // namespace orlith
