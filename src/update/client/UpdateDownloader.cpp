// The package download: streamed into a temporary file made before the transfer, renamed when
// the reply has passed its checks, hashed on a worker.
#include "update/client/UpdateDownloader.h"

#include <fcntl.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <exception>
#include <system_error>

#include "base/DescriptorTree.h"
#include "base/Worker.h"
#include "session/OrlithWire.h"
#include "session/TransportError.h"
#include "update/trust/DescriptorFiles.h"
#include "update/trust/PrivateFolder.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateManifestPolicy.h"
#include "update/trust/UpdateSignatureVerifier.h"

namespace orlith {
namespace {

constexpr const char* kTooLarge = "The update package is too large.";
constexpr const char* kInvalidPackage = "The update server returned an invalid package.";
constexpr const char* kInvalidSize = "The update package has an invalid size.";
constexpr const char* kChecksum = "The downloaded update failed checksum verification.";
constexpr const char* kPartialName = ".partial";

[[noreturn]] void throwErrno() {
  throw std::system_error(errno, std::generic_category());
}

std::string notPrivate(const std::filesystem::path& folder) {
  return "The folder for update downloads is not private: " + folder.string() +
         ". It must be a folder of your own, not a link, that only you can change.";
}

std::optional<PrivateFolder::Opened> openPackages(const std::filesystem::path& folder,
                                                  FolderCreation creation) {
  return PrivateFolder::open(folder, ::geteuid(), creation, notPrivate(folder));
}

void removeQuietly(int packages, const std::string& name) {
  try {
    DescriptorTree::remove(packages, name);
  } catch (const std::exception&) {
    // A folder left behind is removed by a later run's clean-up.
  }
}

// What the body sink has seen; it lives on the main thread with the transfer.
struct Receipt {
  UniqueFd file;
  std::uint64_t limit = 0;
  std::uint64_t written = 0;
  std::optional<std::uint64_t> announced;
  bool first = true;
  int lastPercent = -1;
  UpdateDownloader::Progress progress;
  // Set when the sink stopped the transfer; it wins over the transport's own error.
  std::exception_ptr stop;

  bool take(std::string_view chunk, std::optional<std::uint64_t> length) {
    if (first) {
      first = false;
      announced = length;
    }
    written += chunk.size();
    if ((announced && *announced > limit) || written > limit) {
      stop = std::make_exception_ptr(UpdateFailure(kTooLarge));
      return false;
    }
    while (!chunk.empty()) {
      const ssize_t put = ::write(file.get(), chunk.data(), chunk.size());
      if (put < 0) {
        if (errno == EINTR)
          continue;
        stop = std::make_exception_ptr(std::system_error(errno, std::generic_category()));
        return false;
      }
      chunk.remove_prefix(static_cast<std::size_t>(put));
    }
    if (announced && *announced > 0 && progress) {
      const auto percent =
          static_cast<int>(std::min<std::uint64_t>(written * 100 / *announced, 100));
      if (percent != lastPercent) {
        lastPercent = percent;
        progress(percent);
      }
    }
    return true;
  }
};

}  // namespace

UpdateDownloader::UpdateDownloader(HttpTransport& transport, std::filesystem::path packagesFolder,
                                   UuidSource& uuids, UpdateTrustedHosts hosts,
                                   std::string appVersion, std::uint64_t sizeLimit,
                                   std::chrono::milliseconds idleTimeout)
    : transport_(transport),
      packagesFolder_(std::move(packagesFolder)),
      uuids_(uuids),
      hosts_(std::move(hosts)),
      appVersion_(std::move(appVersion)),
      sizeLimit_(sizeLimit),
      idleTimeout_(idleTimeout) {}

std::filesystem::path UpdateDownloader::defaultPackagesFolder() {
  return std::filesystem::path(g_get_user_cache_dir()) / "OrlithUpdates";
}

void UpdateDownloader::removePackagesExcept(const std::filesystem::path& packagesFolder,
                                            const std::optional<std::filesystem::path>& keep) {
  const std::string kept = keep ? keep->parent_path().filename().string() : std::string();
  PrivateFolder::visitOwnEntries(
      packagesFolder, ::geteuid(),
      [&kept](std::string_view name) { return isPackageFolderName(name) && name != kept; },
      [](int folder, const std::string& name) { DescriptorTree::remove(folder, name); });
}

bool UpdateDownloader::isPackageFolderName(std::string_view name) {
  const auto canonical = canonicalUuid(name);
  return canonical && *canonical == name;
}

Task<std::filesystem::path> UpdateDownloader::download(const VerifiedUpdateRelease& release,
                                                       Progress progress) {
  const auto packages = openPackages(packagesFolder_, FolderCreation::ifMissing);
  const std::string id = uuids_.next();
  if (::mkdirat(packages->fd.get(), id.c_str(), 0700) != 0)
    throwErrno();
  const std::string fileName = "Orlith-" + release.version + ".zip";
  const std::filesystem::path destination = packages->path / id / fileName;
  try {
    const UniqueFd folder = DescriptorFiles::openDirectory(packages->fd.get(), id);
    if (!folder)
      throwErrno();
    // Made before the transfer, so an empty reply is judged by its size, not as a missing file.
    auto receipt = std::make_shared<Receipt>();
    receipt->file.reset(::openat(folder.get(), kPartialName,
                                 O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!receipt->file)
      throwErrno();
    receipt->limit = sizeLimit_;
    receipt->progress = std::move(progress);

    HttpSessionSettings settings;
    settings.cookies = CookieHandling::none;
    settings.requestTimeout = idleTimeout_;
    settings.resourceTimeout = kWholeTimeout;
    // Destroying the session at the end of this scope cancels whatever it still runs.
    const std::unique_ptr<HttpSession> session = transport_.makeSession(settings);
    HttpRequest request;
    request.url = release.downloadURL.absoluteString();
    request.headers.set("User-Agent", std::string(wire::kUserAgentPrefix) + appVersion_);
    request.timeout = kRequestTimeout;
    request.bodySink = [receipt](std::string_view chunk, std::optional<std::uint64_t> length) {
      return receipt->take(chunk, length);
    };
    const std::string requested = request.url;
    HttpResponse response;
    try {
      response = co_await session->send(std::move(request));
    } catch (...) {
      if (receipt->stop)
        std::rethrow_exception(receipt->stop);
      throw;
    }
    if (receipt->stop)
      std::rethrow_exception(receipt->stop);
    // No redirect is followed, so the requested address is the final one.
    if (response.status < 200 || response.status > 299 ||
        !UpdateManifestPolicy::trustedDownloadURL(requested, hosts_)) {
      throw UpdateFailure(kInvalidPackage);
    }
    struct stat info {};
    if (::fstat(receipt->file.get(), &info) != 0)
      throwErrno();
    if (info.st_size <= 0 || static_cast<std::uint64_t>(info.st_size) > sizeLimit_)
      throw UpdateFailure(kInvalidSize);
    receipt->file.reset();
    if (::renameat(folder.get(), kPartialName, folder.get(), fileName.c_str()) != 0)
      throwErrno();
    auto hash = [destination] { return UpdateSignatureVerifier::hashOf(destination); };
    const std::string digest = co_await runOnWorker(std::move(hash));
    if (digest != release.sha256)
      throw UpdateFailure(kChecksum);
  } catch (...) {
    removeQuietly(packages->fd.get(), id);
    throw;
  }
  co_return destination;
}

}  // namespace orlith
