#include "app/gtk/DesktopIntegration.h"

#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/DesktopEntry.h"
#include "base/BundleInfo.h"
#include "platform/glib/GObjectPtr.h"
#include "ui/OrlithMark.h"
#include "update/trust/UpdateInstallationLocation.h"

namespace orlith {

namespace {

namespace fs = std::filesystem;

std::optional<std::string> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return std::nullopt;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Written beside and renamed over, so a reader never sees half an entry.
bool writeFileAtomically(const fs::path& path, std::string_view bytes) {
  std::error_code error;
  fs::create_directories(path.parent_path(), error);
  const fs::path temporary = path.string() + ".new";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush())
      return false;
  }
  fs::rename(temporary, path, error);
  return !error;
}

void installIcon(const fs::path& dataHome, const std::string& applicationId) {
  // The artwork's resource is registered by the first mark made.
  { OrlithMark registersArtwork(0); }
  GBytes* raw = g_resources_lookup_data(OrlithMark::artworkResourcePath(),
                                        G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (raw == nullptr)
    return;
  gsize size = 0;
  const auto* data = static_cast<const char*>(g_bytes_get_data(raw, &size));
  writeFileAtomically(
      dataHome / "icons" / "hicolor" / "256x256" / "apps" / (applicationId + ".png"),
      std::string_view(data, size));
  g_bytes_unref(raw);
}

}  // namespace

void DesktopIntegration::install(const std::string& applicationId) {
  std::optional<fs::path> bundle = BundleInfo::mainBundlePath();
  std::optional<std::string> executable = BundleInfo::main().executableName();
  if (!bundle || !executable)
    return;
  const fs::path program = *bundle / "Contents" / "MacOS" / *executable;
  const fs::path dataHome = g_get_user_data_dir();
  const fs::path entryPath = dataHome / "applications" / (applicationId + ".desktop");

  const std::string mimeType(DesktopEntry::kSchemeMimeType);
  GObjectPtr<GAppInfo> handler(g_app_info_get_default_for_type(mimeType.c_str(), FALSE));
  const bool written = DesktopEntry::needsWriting(
      readFile(entryPath), program, UpdateInstallationLocation::isStandardApplication(*bundle),
      [](const fs::path& path) { return fs::exists(path); });
  if (!written && handler)
    return;
  installIcon(dataHome, applicationId);
  if (written && !writeFileAtomically(entryPath, DesktopEntry::text(applicationId, program)))
    return;
  GObjectPtr<GDesktopAppInfo> info(g_desktop_app_info_new_from_filename(entryPath.c_str()));
  if (!info)
    return;
  // Failing here leaves the scheme to whoever had it; the app itself runs on.
  g_app_info_set_as_default_for_type(G_APP_INFO(info.get()), mimeType.c_str(), nullptr);
}

}  // namespace orlith
