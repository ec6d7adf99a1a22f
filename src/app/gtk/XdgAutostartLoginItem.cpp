// Reads and writes the autostart entry through GLib's key-file parser.
#include "app/gtk/XdgAutostartLoginItem.h"

#include <glib.h>
#include <glib/gstdio.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace orlith {

namespace {

constexpr const char* kGroup = G_KEY_FILE_DESKTOP_GROUP;

struct KeyFileFree {
  void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileFree>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

bool booleanKey(GKeyFile* file, const char* key, bool fallback) {
  GError* raw = nullptr;
  const gboolean value = g_key_file_get_boolean(file, kGroup, key, &raw);
  std::unique_ptr<GError, ErrorFree> error(raw);
  return error ? fallback : value != FALSE;
}

std::filesystem::path runningExecutable() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : path;
}

}  // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(std::optional<std::filesystem::path> autostartFolder,
                                             std::string applicationId,
                                             std::filesystem::path executable)
    : folder_(std::move(autostartFolder)),
      applicationId_(std::move(applicationId)),
      executable_(std::move(executable)) {}

XdgAutostartLoginItem XdgAutostartLoginItem::forCurrentUser(std::string applicationId) {
  const char* config = g_get_user_config_dir();
  std::optional<std::filesystem::path> folder;
  if (config && *config)
    folder = std::filesystem::path(config) / "autostart";
  return XdgAutostartLoginItem(std::move(folder), std::move(applicationId), runningExecutable());
}

std::optional<std::filesystem::path> XdgAutostartLoginItem::entryPath() const {
  if (!folder_ || !folder_->is_absolute() || applicationId_.empty())
    return std::nullopt;
  return *folder_ / (applicationId_ + ".desktop");
}

std::string XdgAutostartLoginItem::execLine(const std::filesystem::path& executable) {
  // Inside double quotes the four characters " ` $ \ take a backslash; a literal % is %%.
  std::string line = "\"";
  for (char c : executable.string()) {
    if (c == '"' || c == '`' || c == '$' || c == '\\')
      line += '\\';
    if (c == '%')
      line += '%';
    line += c;
  }
  line += '"';
  return line;
}

std::optional<std::string> XdgAutostartLoginItem::programOfExecLine(const std::string& exec) {
  gint argc = 0;
  gchar** argv = nullptr;
  if (!g_shell_parse_argv(exec.c_str(), &argc, &argv, nullptr))
    return std::nullopt;
  std::string quoted = argc > 0 ? argv[0] : "";
  g_strfreev(argv);
  if (quoted.empty())
    return std::nullopt;
  // Field codes are expanded after unquoting: %% stands for %, and another code is not a path.
  std::string program;
  for (std::size_t i = 0; i < quoted.size(); ++i) {
    if (quoted[i] != '%') {
      program += quoted[i];
      continue;
    }
    if (i + 1 < quoted.size() && quoted[i + 1] == '%') {
      program += '%';
      ++i;
      continue;
    }
    return std::nullopt;
  }
  return program;
}

int XdgAutostartLoginItem::status() const {
  const auto path = entryPath();
  if (!path || executable_.empty())
    return 3;
  KeyFile file(g_key_file_new());
  if (!g_key_file_load_from_file(file.get(), path->c_str(), G_KEY_FILE_NONE, nullptr))
    return 0;
  if (booleanKey(file.get(), G_KEY_FILE_DESKTOP_KEY_HIDDEN, false) ||
      !booleanKey(file.get(), "X-GNOME-Autostart-enabled", true))
    return 0;
  gchar* exec = g_key_file_get_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC, nullptr);
  if (!exec)
    return 0;
  const auto program = programOfExecLine(exec);
  g_free(exec);
  return program && *program == executable_.string() ? 1 : 0;
}

void XdgAutostartLoginItem::registerItem() {
  const auto path = entryPath();
  if (!path || executable_.empty())
    throw LoginItemError("no usable autostart folder");
  if (g_mkdir_with_parents(folder_->c_str(), 0700) != 0)
    throw LoginItemError(std::string("cannot create the autostart folder: ") +
                         std::strerror(errno));
  KeyFile file(g_key_file_new());
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_TYPE,
                        G_KEY_FILE_DESKTOP_TYPE_APPLICATION);
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_NAME, "Orlith");
  g_key_file_set_string(file.get(), kGroup, G_KEY_FILE_DESKTOP_KEY_EXEC,
                        execLine(executable_).c_str());
  g_key_file_set_boolean(file.get(), kGroup, "X-GNOME-Autostart-enabled", TRUE);
  GError* raw = nullptr;
  // g_key_file_save_to_file writes a temporary file and renames it over the entry.
  if (!g_key_file_save_to_file(file.get(), path->c_str(), &raw)) {
    std::unique_ptr<GError, ErrorFree> error(raw);
    throw LoginItemError(error ? error->message : "cannot write the autostart entry");
  }
}

void XdgAutostartLoginItem::unregisterItem() {
  const auto path = entryPath();
  if (!path)
    throw LoginItemError("no usable autostart folder");
  std::error_code error;
  std::filesystem::remove(*path, error);
  if (error)
    throw LoginItemError("cannot delete the autostart entry: " + error.message());
}

}  // namespace orlith
