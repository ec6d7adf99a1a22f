// The allow-list of spawned programs' environment.
#include "update/trust/LaunchEnvironment.h"

#include <array>
#include <string_view>

namespace orlith {
namespace {

// The bus is needed by the keyring and the single-instance name; the relaunched app needs the
// same XDG folders to find its preferences.
constexpr std::array<std::string_view, 29> kAllowedNames = {
    "HOME",
    "USER",
    "LOGNAME",
    "LANG",
    "LANGUAGE",
    "TZ",
    "DISPLAY",
    "WAYLAND_DISPLAY",
    "XAUTHORITY",
    "XDG_RUNTIME_DIR",
    "XDG_SESSION_TYPE",
    "XDG_SESSION_DESKTOP",
    "XDG_CURRENT_DESKTOP",
    "DESKTOP_SESSION",
    "DBUS_SESSION_BUS_ADDRESS",
    "XDG_CONFIG_HOME",
    "XDG_DATA_HOME",
    "XDG_CACHE_HOME",
    "XDG_STATE_HOME",
    "XDG_CONFIG_DIRS",
    "XDG_DATA_DIRS",
    "GDK_SCALE",
    "GDK_DPI_SCALE",
    "GDK_BACKEND",
    "GTK_THEME",
    "GTK_IM_MODULE",
    "XMODIFIERS",
    "WEBKIT_DISABLE_DMABUF_RENDERER",
    "WEBKIT_DISABLE_COMPOSITING_MODE",
};

bool isLocaleCategory(std::string_view name) {
  if (!name.starts_with("LC_") || name.size() == 3) {
    return false;
  }
  for (const char c : name.substr(3)) {
    if (!(c >= 'A' && c <= 'Z') && c != '_') {
      return false;
    }
  }
  return true;
}

}  // namespace

bool LaunchEnvironment::isAllowedName(const std::string& name) {
  if (isLocaleCategory(name)) {
    return true;
  }
  for (const std::string_view allowed : kAllowedNames) {
    if (allowed == name) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> LaunchEnvironment::allowed(const char* const* environment) {
  std::vector<std::string> result{kPath};
  for (const char* const* entry = environment; entry != nullptr && *entry != nullptr; ++entry) {
    const std::string_view text(*entry);
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos || equals == 0) {
      continue;
    }
    const std::string name(text.substr(0, equals));
    if (name != "PATH" && isAllowedName(name)) {
      result.emplace_back(text);
    }
  }
  return result;
}

}  // namespace orlith
