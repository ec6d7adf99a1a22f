// The steps of a test release: copy, new version, seal, zip, sign.
#include "ReleaseBuilder.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <fstream>
#include <limits>
#include <memory>
#include <stdexcept>
#include <vector>

#include "BundleSealer.h"
#include "base/BundleInfo.h"
#include "base/FileContents.h"
#include "base/Sha256.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

constexpr std::size_t kMaximumFileSize = 256 * 1024 * 1024;

void writeText(const std::filesystem::path& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out.flush()) {
    throw std::runtime_error(file.string() + ": cannot be written");
  }
}

// Only the value of CFBundleShortVersionString changes; the rest of the file stays byte for byte.
void setShortVersion(const std::filesystem::path& plist, const std::string& version) {
  std::string text = readFileContents(plist, kMaximumFileSize);
  const std::string key = "<key>CFBundleShortVersionString</key>";
  const std::size_t keyAt = text.find(key);
  const std::size_t open =
      keyAt == std::string::npos ? keyAt : text.find_first_not_of(" \t\r\n", keyAt + key.size());
  const std::string tag = "<string>";
  const std::size_t close =
      open == std::string::npos ? open : text.find("</string>", open + tag.size());
  if (open == std::string::npos || text.compare(open, tag.size(), tag) != 0 ||
      close == std::string::npos) {
    throw std::runtime_error(plist.string() + ": no CFBundleShortVersionString string");
  }
  text.replace(open + tag.size(), close - open - tag.size(), version);
  writeText(plist, text);
}

using ArchiveWriter = std::unique_ptr<archive, decltype(&archive_write_free)>;
using ArchiveEntry = std::unique_ptr<archive_entry, decltype(&archive_entry_free)>;

void check(archive* writer, int result) {
  if (result != ARCHIVE_OK) {
    throw std::runtime_error(std::string("zip: ") + archive_error_string(writer));
  }
}

// Folders and regular files only, in a fixed order, with their permission bits.
void writeZip(const std::filesystem::path& bundle, const std::filesystem::path& zip) {
  const std::string top = bundle.filename().string();
  std::vector<std::filesystem::path> items;
  for (const auto& item : std::filesystem::recursive_directory_iterator(bundle)) {
    items.push_back(item.path());
  }
  std::sort(items.begin(), items.end());
  items.insert(items.begin(), bundle);

  ArchiveWriter writer(archive_write_new(), &archive_write_free);
  check(writer.get(), archive_write_set_format_zip(writer.get()));
  check(writer.get(), archive_write_open_filename(writer.get(), zip.c_str()));
  for (const auto& path : items) {
    const auto status = std::filesystem::symlink_status(path);
    std::string name = top;
    if (path != bundle) {
      name += "/" + std::filesystem::relative(path, bundle).string();
    }
    ArchiveEntry entry(archive_entry_new(), &archive_entry_free);
    std::string data;
    if (status.type() == std::filesystem::file_type::directory) {
      archive_entry_set_filetype(entry.get(), AE_IFDIR);
      name += "/";
    } else if (status.type() == std::filesystem::file_type::regular) {
      archive_entry_set_filetype(entry.get(), AE_IFREG);
      data = readFileContents(path, kMaximumFileSize);
    } else {
      throw std::runtime_error(path.string() + ": a bundle holds folders and files only");
    }
    archive_entry_set_pathname(entry.get(), name.c_str());
    archive_entry_set_perm(entry.get(), static_cast<mode_t>(status.permissions()) & 0755);
    archive_entry_set_size(entry.get(), static_cast<la_int64_t>(data.size()));
    check(writer.get(), archive_write_header(writer.get(), entry.get()));
    if (!data.empty() && archive_write_data(writer.get(), data.data(), data.size()) !=
                             static_cast<la_ssize_t>(data.size())) {
      throw std::runtime_error(std::string("zip: ") + archive_error_string(writer.get()));
    }
  }
  check(writer.get(), archive_write_close(writer.get()));
}

}  // namespace

std::string ReleaseBuilder::nextPatchVersion(std::string_view version) {
  const auto parts = UpdateManifestPolicy::versionComponents(version);
  if (!parts || (*parts)[2] == std::numeric_limits<std::int64_t>::max()) {
    throw std::runtime_error("no next patch version after: " + std::string(version));
  }
  return std::to_string((*parts)[0]) + "." + std::to_string((*parts)[1]) + "." +
         std::to_string((*parts)[2] + 1);
}

Release ReleaseBuilder::build(const ReleaseRequest& request) {
  const auto current = BundleInfo::load(request.application).string("CFBundleShortVersionString");
  if (!current) {
    throw std::runtime_error(request.application.string() + ": no CFBundleShortVersionString");
  }
  Release release;
  release.version = request.version.empty() ? nextPatchVersion(*current) : request.version;
  if (UpdateManifestPolicy::compareVersions(release.version, *current) != 1) {
    throw std::runtime_error("the release must be newer than " + *current);
  }

  std::filesystem::create_directories(request.output);
  release.bundle = request.output / update_wire::kApplicationFileName;
  std::filesystem::remove_all(release.bundle);
  std::filesystem::copy(request.application, release.bundle,
                        std::filesystem::copy_options::recursive);
  setShortVersion(release.bundle / "Contents/Info.plist", release.version);
  // The nested bundles are unchanged and keep their seals; the app's own seal covers the new
  // Info.plist.
  BundleSealer::seal(release.bundle, request.teamIdentifier, request.teamKey, request.entitlements);

  const std::string packageName = "Orlith-" + release.version + ".zip";
  release.package = request.output / packageName;
  std::filesystem::remove(release.package);
  writeZip(release.bundle, release.package);

  const Json inner{{"ok", true},
                   {"version", release.version},
                   {"downloadUrl", request.downloadBase + packageName},
                   {"sha256", sha256HexOfFile(release.package)},
                   {"platform", std::string(update_wire::kPlatform)},
                   {"arch", std::string(update_wire::kOwnArchitecture)},
                   {"notes", "Test release " + release.version + "."}};
  release.manifest = request.output / "manifest.json";
  writeText(release.manifest, BundleSealer::signManifest(inner.dump(), request.signingKey));
  return release;
}

}  // namespace orlith
