// Reads the autostart entries through GLib's key-file parser and GIO's desktop-entry loader, and
// writes the user's.
#include "app/gtk/XdgAutostartLoginItem.h"

#include <gio/gdesktopappinfo.h>
#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

#include "app/AutostartEntry.h"
#include "app/DesktopEntry.h"
#include "base/FileContents.h"
#include "platform/glib/GObjectPtr.h"

namespace orlith {

namespace {

constexpr const char* kGroup = G_KEY_FILE_DESKTOP_GROUP;
constexpr const char* kEnabledKey = "X-GNOME-Autostart-enabled";

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

bool booleanKey(GKeyFile* file, const char* key, bool fallback) {
  GError* raw = nullptr;
  const gboolean value = g_key_file_get_boolean(file, kGroup, key, &raw);
  GErrorPtr error(raw);
  return error ? fallback : value != FALSE;
}

std::filesystem::path runningExecutable() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : path;
}

AutostartEntry readEntry(const std::filesystem::path& path) {
  AutostartEntry entry;
  KeyFile file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), path.c_str(), G_KEY_FILE_NONE, nullptr))
    return entry;
  GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(path.c_str()));
  entry.desktop = info ? AutostartEntry::Desktop::accepts : AutostartEntry::Desktop::refuses;
  entry.hidden = booleanKey(file.get(), G_KEY_FILE_DESKTOP_KEY_HIDDEN, false);
  entry.autostartEnabled = booleanKey(file.get(), kEnabledKey, true);
  GCharPtr exec(g_key_file_get_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr));
  if (exec)
    entry.exec = exec.get();
  return entry;
}

KeyFile newEntry() {
  KeyFile file(g_key_file_new());
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_TYPE,
                        G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_NAME, "Orlith");
  return file;
}

std::string textOf(GKeyFile* file) {
  GCharPtr text(g_key_file_to_data(file, nullptr, nullptr));
  return text.get();
}

}  // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(
    std::optional<std::filesystem::path> autostartFolder, std::string applicationId,
    std::filesystem::path executable, std::vector<std::filesystem::path> systemAutostartFolders)
    : folder_(std::move(autostartFolder)),
      systemFolders_(std::move(systemAutostartFolders)),
      applicationId_(std::move(applicationId)),
      executable_(std::move(executable)) {}

XdgAutostartLoginItem XdgAutostartLoginItem::forCurrentUser(std::string applicationId) {
  const char* config = g_get_user_config_dir();
  std::optional<std::filesystem::path> folder;
  if (config && *config)
    folder = std::filesystem::path(config) / "autostart";
  std::vector<std::filesystem::path> systemFolders;
  for (const gchar* const* dir = g_get_system_config_dirs(); dir && *dir; ++dir) {
    if (**dir)
      systemFolders.push_back(std::filesystem::path(*dir) / "autostart");
  }
  return XdgAutostartLoginItem(std::move(folder), std::move(applicationId), runningExecutable(),
                               std::move(systemFolders));
}

std::optional<std::filesystem::path> XdgAutostartLoginItem::entryPath() const {
  if (!folder_ || !folder_->is_absolute() || applicationId_.empty())
    return std::nullopt;
  return *folder_ / (applicationId_ + ".desktop");
}

int XdgAutostartLoginItem::status() const {
  const auto path = entryPath();
  if (!path || executable_.empty())
    return 3;
  std::vector<std::filesystem::path> candidates{*path};
  for (const auto& folder : systemFolders_)
    candidates.push_back(folder / path->filename());
  for (const auto& candidate : candidates) {
    if (g_file_test(candidate.c_str(), G_FILE_TEST_EXISTS))
      return AutostartEntry::status(readEntry(candidate), executable_);
  }
  return AutostartEntry::status(std::nullopt, executable_);
}

void XdgAutostartLoginItem::save(const std::string& text) const {
  if (g_mkdir_with_parents(folder_->c_str(), 0700) != 0)
    throw LoginItemError(std::string("cannot create the autostart folder: ") +
                         std::strerror(errno));
  try {
    writeFileAtomically(*entryPath(), text, 0644);
  } catch (const std::system_error& error) {
    throw LoginItemError(std::string("cannot write the autostart entry: ") + error.what());
  }
}

void XdgAutostartLoginItem::registerItem() {
  if (!entryPath() || executable_.empty())
    throw LoginItemError("no usable autostart folder");
  KeyFile file = newEntry();
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC,
                        DesktopEntry::execLine(executable_).c_str());
  g_key_file_set_boolean(file.get(), kGroup, kEnabledKey, TRUE);
  save(textOf(file.get()));
}

void XdgAutostartLoginItem::unregisterItem() {
  const auto path = entryPath();
  if (!path)
    throw LoginItemError("no usable autostart folder");
  for (const auto& folder : systemFolders_) {
    if (g_file_test((folder / path->filename()).c_str(), G_FILE_TEST_EXISTS)) {
      KeyFile file = newEntry();
      g_key_file_set_boolean(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_HIDDEN, TRUE);
      save(textOf(file.get()));
      return;
    }
  }
  std::error_code error;
  std::filesystem::remove(*path, error);
  if (error)
    throw LoginItemError("cannot delete the autostart entry: " + error.message());
}

}  // namespace orlith
