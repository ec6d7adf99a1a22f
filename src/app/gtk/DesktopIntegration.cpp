#include "app/gtk/DesktopIntegration.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <filesystem>

#include "app/DesktopEntry.h"
#include "base/BundleInfo.h"
#include "base/FileContents.h"
#include "platform/glib/GObjectPtr.h"
#include "ui/OrlithMark.h"
#include "update/trust/UpdateInstallationLocation.h"

namespace orlith {

namespace {

namespace fs = std::filesystem;

// An entry is a few hundred bytes; a larger file is not one.
constexpr std::size_t kMaxEntrySize = 64 * 1024;

std::optional<std::string> readFile(const fs::path& path) {
  try {
    return readFileContents(path, kMaxEntrySize);
  } catch (const std::system_error&) {
    return std::nullopt;
  }
}

// Replaced atomically, so a reader never sees half an entry. Failures are silent (see install).
bool replaceFile(const fs::path& path, std::string_view bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  try {
    writeFileAtomically(path, bytes, 0644);
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

// The mark's PNG; empty when its resource is missing.
std::string artwork() {
  // The artwork's resource is registered by the first mark made.
  { OrlithMark registersArtwork(0); }
  GBytes* raw = g_resources_lookup_data(OrlithMark::artworkResourcePath(),
                                        G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (raw == nullptr)
    return {};
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(raw, &size));
  std::string bytes(data, size);
  g_bytes_unref(raw);
  return bytes;
}

}  // namespace

void DesktopIntegration::install(const std::string& applicationId) {
  std::optional<fs::path> bundle = BundleInfo::mainBundlePath();
  std::optional<std::string> executable = BundleInfo::main().executableName();
  if (!bundle || !executable)
    return;
  install(applicationId, *bundle / "Contents" / "MacOS" / *executable,
          UpdateInstallationLocation::isStandardApplication(*bundle), g_get_user_data_dir(),
          [] { return artwork(); });
}

void DesktopIntegration::install(const std::string& applicationId, const fs::path& program,
                                 bool programIsInstalled, const fs::path& dataHome,
                                 const std::function<std::string()>& icon) {
  const fs::path entryPath = dataHome / "applications" / (applicationId + ".desktop");
  const std::string mimeType(DesktopEntry::kSchemeMimeType);
  GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_type(mimeType.c_str(), FALSE));
  const bool written =
      DesktopEntry::needsWriting(readFile(entryPath), program, programIsInstalled,
                                 [](const fs::path& path) { return fs::exists(path); });
  if (!written && handler)
    return;
  if (std::string bytes = icon(); !bytes.empty())
    replaceFile(dataHome / "icons" / "hicolor" / "256x256" / "apps" / (applicationId + ".png"),
                bytes);
  if (written && !replaceFile(entryPath, DesktopEntry::text(applicationId, program)))
    return;
  GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(entryPath.c_str()));
  if (!info)
    return;
  // Failing here leaves the scheme to whoever had it; the app itself runs on.
  g_app_info_set_as_default_for_type(G_APP_INFO(info.get()), mimeType.c_str(), nullptr);
}

}  // namespace orlith
