// Fetches a verified release's package into a private folder of the user's caches, with whole
// percent progress and a size limit while the data arrives and on the finished file, and accepts
// it only when its SHA-256 equals the signed digest. One downloader serves one download.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/Task.h"
#include "base/Uuid.h"
#include "session/HttpTransport.h"
#include "update/client/VerifiedUpdateRelease.h"
#include "update/trust/UpdateTrustedHosts.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

class UpdateDownloader {
 public:
  using Progress = std::function<void(int percent)>;

  static constexpr std::chrono::seconds kIdleTimeout{30};
  static constexpr std::chrono::seconds kWholeTimeout{900};
  static constexpr std::chrono::seconds kRequestTimeout{60};

  // `packagesFolder` is <caches>/OrlithUpdates; each download gets a folder of its own in it.
  UpdateDownloader(HttpTransport& transport, std::filesystem::path packagesFolder,
                   UuidSource& uuids, UpdateTrustedHosts hosts, std::string appVersion,
                   std::uint64_t sizeLimit = update_wire::kMaximumPackageSize,
                   std::chrono::milliseconds idleTimeout = kIdleTimeout);

  // The finished file, <packagesFolder>/<UUID>/Orlith-<version>.zip. Throws UpdateFailure for
  // a refused reply, size or digest, TransportError for the network, std::system_error for
  // files; every failure after the folder was made removes that folder.
  Task<std::filesystem::path> download(const VerifiedUpdateRelease& release, Progress progress);

  // <XDG cache>/OrlithUpdates: the app's packages and nothing else. The folder is made 0700
  // when missing; one that is a link or not the user's private folder refuses every download
  // with a failure that names it.
  static std::filesystem::path defaultPackagesFolder();
  // Removes every download folder in `packagesFolder` except the one holding `keep`: only
  // entries named by a canonical UUID, as downloads name them, relative to the folder opened
  // without following a link, and never following one inside. A folder that is a link or not
  // private is left as it is. Errors are ignored: a folder left behind is removed by a later run.
  static void removePackagesExcept(const std::filesystem::path& packagesFolder,
                                   const std::optional<std::filesystem::path>& keep);
  static bool isPackageFolderName(std::string_view name);

 private:
  HttpTransport& transport_;
  std::filesystem::path packagesFolder_;
  UuidSource& uuids_;
  UpdateTrustedHosts hosts_;
  std::string appVersion_;
  std::uint64_t sizeLimit_;
  std::chrono::milliseconds idleTimeout_;
};

}  // namespace orlith
