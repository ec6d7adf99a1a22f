// Reads "org.freedesktop.appearance" "color-scheme" (1 = prefer dark) once and follows its
// changes; sets gtk-application-prefer-dark-theme for the app's windows.
#include "workspace/surface/gtk/PortalAppearanceEnvironment.h"

#include <gtk/gtk.h>

#include <cstring>

namespace orlith {
namespace {

constexpr const char* kPortalName = "org.freedesktop.portal.Desktop";
constexpr const char* kPortalPath = "/org/freedesktop/portal/desktop";
constexpr const char* kSettingsInterface = "org.freedesktop.portal.Settings";
constexpr const char* kAppearanceNamespace = "org.freedesktop.appearance";
constexpr const char* kColorSchemeKey = "color-scheme";
constexpr int kPortalTimeoutMs = 1000;

// A "color-scheme" value, however many variants it is wrapped in.
bool prefersDark(GVariant* value) {
  GVariant* current = g_variant_ref(value);
  while (g_variant_is_of_type(current, G_VARIANT_TYPE_VARIANT)) {
    GVariant* inner = g_variant_get_variant(current);
    g_variant_unref(current);
    current = inner;
  }
  const bool dark =
      g_variant_is_of_type(current, G_VARIANT_TYPE_UINT32) && g_variant_get_uint32(current) == 1;
  g_variant_unref(current);
  return dark;
}

}  // namespace

PortalAppearanceEnvironment::PortalAppearanceEnvironment() {
  bus_ = adoptObject(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr));
  if (!bus_)
    return;
  GVariant* reply = g_dbus_connection_call_sync(
      bus_.get(), kPortalName, kPortalPath, kSettingsInterface, "Read",
      g_variant_new("(ss)", kAppearanceNamespace, kColorSchemeKey), G_VARIANT_TYPE("(v)"),
      G_DBUS_CALL_FLAGS_NONE, kPortalTimeoutMs, nullptr, nullptr);
  if (reply) {
    GVariant* value = g_variant_get_child_value(reply, 0);
    systemIsDark_ = prefersDark(value);
    g_variant_unref(value);
    g_variant_unref(reply);
  }
  subscription_ = g_dbus_connection_signal_subscribe(
      bus_.get(), kPortalName, kSettingsInterface, "SettingChanged", kPortalPath, nullptr,
      G_DBUS_SIGNAL_FLAGS_NONE, &PortalAppearanceEnvironment::settingChanged, this, nullptr);
}

PortalAppearanceEnvironment::~PortalAppearanceEnvironment() {
  if (bus_ && subscription_ != 0)
    g_dbus_connection_signal_unsubscribe(bus_.get(), subscription_);
}

void PortalAppearanceEnvironment::settingChanged(GDBusConnection*, const gchar*, const gchar*,
                                                 const gchar*, const gchar*, GVariant* parameters,
                                                 gpointer self) {
  if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ssv)")))
    return;
  const char* group = nullptr;
  const char* key = nullptr;
  GVariant* value = nullptr;
  g_variant_get(parameters, "(&s&sv)", &group, &key, &value);
  auto* environment = static_cast<PortalAppearanceEnvironment*>(self);
  if (std::strcmp(group, kAppearanceNamespace) == 0 && std::strcmp(key, kColorSchemeKey) == 0) {
    const bool dark = prefersDark(value);
    if (dark != environment->systemIsDark_) {
      environment->systemIsDark_ = dark;
      environment->apply();
      environment->systemAppearanceChanged().emit();
    }
  }
  g_variant_unref(value);
}

void PortalAppearanceEnvironment::setAppAppearance(AppAppearance appearance) {
  appearance_ = appearance;
  apply();
}

void PortalAppearanceEnvironment::apply() const {
  GtkSettings* settings = gtk_settings_get_default();
  if (!settings)
    return;
  const bool dark =
      appearance_ == AppAppearance::dark || (appearance_ == AppAppearance::system && systemIsDark_);
  g_object_set(settings, "gtk-application-prefer-dark-theme", dark ? TRUE : FALSE, nullptr);
}

}  // namespace orlith
