// The file-manager reveal over D-Bus, asynchronous, with the folder as fallback.
#include "platform/glib/FileManagerRevealer.h"

#include <gio/gio.h>

#include <memory>

#include "platform/glib/GObjectPtr.h"
#include "platform/glib/UriLauncher.h"

namespace orlith {
namespace {

// The call waits at most this long for the file manager to answer.
constexpr int kCallTimeoutMs = 10'000;

struct PendingReveal {
  std::string folderUri;
  FileManagerRevealer::FolderOpener openFolder;
};

std::string fileUri(const std::filesystem::path& path) {
  GCharPtr uri(g_filename_to_uri(path.c_str(), nullptr, nullptr));
  return uri ? std::string(uri.get()) : std::string();
}

void openFolder(const PendingReveal& pending) {
  if (pending.folderUri.empty())
    return;
  if (pending.openFolder) {
    pending.openFolder(pending.folderUri);
  } else {
    UriLauncher::launch(pending.folderUri, nullptr);
  }
}

void shown(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<PendingReveal> pending(static_cast<PendingReveal*>(data));
  GError* raw = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &raw);
  GErrorPtr error(raw);
  if (reply != nullptr)
    g_variant_unref(reply);
  // No file manager on the bus, or one that refused: the folder at least.
  if (error)
    openFolder(*pending);
}

}  // namespace

FileManagerRevealer::FileManagerRevealer(FolderOpener openFolder)
    : openFolder_(std::move(openFolder)) {}

void FileManagerRevealer::reveal(const std::filesystem::path& item) {
  auto pending =
      std::make_unique<PendingReveal>(PendingReveal{fileUri(item.parent_path()), openFolder_});
  const std::string itemUri = fileUri(item);
  GError* raw = nullptr;
  GObjectPtr<GDBusConnection> bus(g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &raw));
  GErrorPtr error(raw);
  if (!bus || itemUri.empty()) {
    openFolder(*pending);
    return;
  }
  const gchar* uris[] = {itemUri.c_str(), nullptr};
  g_dbus_connection_call(bus.get(), "org.freedesktop.FileManager1", "/org/freedesktop/FileManager1",
                         "org.freedesktop.FileManager1", "ShowItems",
                         g_variant_new("(^ass)", uris, ""), nullptr, G_DBUS_CALL_FLAGS_NONE,
                         kCallTimeoutMs, nullptr, &shown, pending.release());
}

}  // namespace orlith
