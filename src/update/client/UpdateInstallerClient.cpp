// The installer service client.
#include "update/client/UpdateInstallerClient.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "base/BundleInfo.h"
#include "base/Worker.h"
#include "update/client/ChannelInstallerConnection.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UniqueFd.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateInstallerChannel.h"

namespace orlith {
namespace {

constexpr const char* kPackageUnverified = "The update package could not be verified.";
constexpr const char* kPrepareFailed = "Couldn\u2019t prepare installation. Please try again.";
constexpr const char* kRestartFailed = "Couldn't restart. Please try again.";

// The whole package through one descriptor: a read error first, then the size, then exactly
// that many bytes. Not mapped: a file cut short under a mapping would end the process.
std::optional<std::string> readPackage(const std::filesystem::path& file, std::uint64_t limit) {
  UniqueFd input;
  do {
    input.reset(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
  } while (!input && errno == EINTR);
  if (!input)
    throw std::system_error(errno, std::generic_category());
  struct stat info {};
  if (::fstat(input.get(), &info) != 0)
    throw std::system_error(errno, std::generic_category());
  if (info.st_size < 0 || static_cast<std::uint64_t>(info.st_size) > limit)
    return std::nullopt;
  std::string bytes(static_cast<std::size_t>(info.st_size), '\0');
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::pread(input.get(), bytes.data() + filled, bytes.size() - filled,
                                static_cast<off_t>(filled));
    if (got < 0) {
      if (errno == EINTR)
        continue;
      throw std::system_error(errno, std::generic_category());
    }
    if (got == 0)
      break;
    filled += static_cast<std::size_t>(got);
  }
  // A file cut short while read is sent as far as it went; the service's digest refuses it.
  bytes.resize(filled);
  return bytes;
}

}  // namespace

UpdateInstallerClient::UpdateInstallerClient(std::unique_ptr<UpdateInstallerConnector> connector,
                                             const Clock& clock, std::uint64_t packageLimit)
    : connector_(std::move(connector)), clock_(clock), packageLimit_(packageLimit) {}

Task<std::shared_ptr<UpdateInstallerClient>> UpdateInstallerClient::connect(const Clock& clock) {
  std::optional<UpdateTeam> team;
  try {
    auto ownTeam = [] { return InstallationSecurity::ownTeam(); };
    team = co_await runOnWorker(std::move(ownTeam));
  } catch (...) {
    // Any failure to read the app's own seal means this build cannot talk to the service.
  }
  const auto bundle = BundleInfo::mainBundlePath();
  if (!team || !bundle)
    throw UpdateFailure(kUnavailableInBuild);
  co_return std::make_shared<UpdateInstallerClient>(
      std::make_unique<ChannelInstallerConnector>(UpdateInstallerChannel::serviceBundleOf(*bundle),
                                                  std::move(*team)),
      clock);
}

bool UpdateInstallerClient::isInstallerBundled() {
  const auto bundle = BundleInfo::mainBundlePath();
  return bundle && isInstallerBundled(*bundle);
}

bool UpdateInstallerClient::isInstallerBundled(const std::filesystem::path& application) {
  struct stat info {};
  return ::stat(UpdateInstallerChannel::serviceBundleOf(application).c_str(), &info) == 0;
}

bool UpdateInstallerClient::noticeLoss() {
  if (lostAt_)
    return true;
  if (connection_ && connection_->isClosed()) {
    lostAt_ = clock_.monotonicNow();
    connection_->reapIfEnded();
  }
  return lostAt_.has_value();
}

UpdateFailure UpdateInstallerClient::unansweredFailure(UpdateInstallerConnection::CallEnd end) {
  const bool lost = noticeLoss();
  if (end == UpdateInstallerConnection::CallEnd::sendTimedOut)
    return UpdateFailure(kTimedOut);
  return UpdateFailure(lost ? kInterrupted : kTimedOut);
}

Task<std::shared_ptr<UpdateInstallerConnection>> UpdateInstallerClient::connection() {
  if (connection_)
    co_return connection_;
  std::shared_ptr<UpdateInstallerConnection> made;
  try {
    auto spawn = [connector = connector_.get()] { return connector->spawn(); };
    made = co_await runOnWorker(std::move(spawn));
  } catch (...) {
    // The platform refused to start the service: this client can never reach it.
  }
  if (!made) {
    lostAt_ = clock_.monotonicNow();
    throw UpdateFailure(kCouldNotStart);
  }
  connection_ = made;
  co_return made;
}

Task<std::string> UpdateInstallerClient::prepare(std::filesystem::path packageURL,
                                                 VerifiedUpdateRelease release) {
  if (noticeLoss())
    throw UpdateFailure(kUnavailable);
  auto read = [packageURL, limit = packageLimit_] { return readPackage(packageURL, limit); };
  std::optional<std::string> package = co_await runOnWorker(std::move(read));
  if (!package)
    throw UpdateFailure(kUnavailable);
  co_return co_await prepareWith(std::move(package), std::move(release.signedManifest),
                                 kPackageUnverified);
}

Task<std::string> UpdateInstallerClient::prepareCurrentApplication() {
  if (noticeLoss())
    throw UpdateFailure(kUnavailable);
  co_return co_await prepareWith(std::nullopt, {}, kPrepareFailed);
}

Task<std::string> UpdateInstallerClient::prepareWith(std::optional<std::string> package,
                                                     std::string manifest, const char* fallback) {
  std::shared_ptr<UpdateInstallerConnection> channel = co_await connection();
  auto end = std::make_shared<UpdateInstallerConnection::CallEnd>();
  auto call = [channel, end, package = std::move(package),
               manifest = std::move(manifest)]() mutable {
    return package
               ? channel->prepare(std::move(*package), std::move(manifest), kPrepareTimeout, *end)
               : channel->prepareCurrentApplication(kPrepareTimeout, *end);
  };
  const UpdatePrepareReply reply = co_await runOnWorker(std::move(call));
  // An unanswered call looks like a reply without token or text: it is told apart first.
  if (*end != UpdateInstallerConnection::CallEnd::answered)
    throw unansweredFailure(*end);
  if (reply.token)
    co_return *reply.token;
  throw UpdateFailure(reply.error.value_or(fallback), reply.requiresManualInstallation
                                                          ? ManualInstallation::required
                                                          : ManualInstallation::notRequired);
}

Task<void> UpdateInstallerClient::install(std::string token) {
  if (noticeLoss())
    throw UpdateFailure(kDisconnected);
  std::shared_ptr<UpdateInstallerConnection> channel = co_await connection();
  installSent_ = true;
  auto end = std::make_shared<UpdateInstallerConnection::CallEnd>();
  auto call = [channel, end, token = std::move(token)]() mutable {
    return channel->install(std::move(token), kInstallTimeout, *end);
  };
  const UpdateCompletionReply reply = co_await runOnWorker(std::move(call));
  if (*end != UpdateInstallerConnection::CallEnd::answered)
    throw unansweredFailure(*end);
  if (!reply.ok)
    throw UpdateFailure(reply.error.value_or(kRestartFailed));
}

Task<bool> UpdateInstallerClient::cancel(std::string token) {
  // A lost connection cannot be asked. Its token is dead: the service cancelled that
  // connection's plans, or ended with them. Only an install sent on it may have committed, and
  // that updater gives up once the app has not exited within its window.
  if (noticeLoss()) {
    co_return !installSent_ || clock_.monotonicNow() - *lostAt_ >= kLostCommitWindow;
  }
  try {
    std::shared_ptr<UpdateInstallerConnection> channel = co_await connection();
    auto end = std::make_shared<UpdateInstallerConnection::CallEnd>();
    auto call = [channel, end, token = std::move(token)]() mutable {
      return channel->cancel(std::move(token), kCancelTimeout, *end);
    };
    const UpdateCompletionReply reply = co_await runOnWorker(std::move(call));
    if (*end != UpdateInstallerConnection::CallEnd::answered)
      noticeLoss();
    co_return reply.ok;
  } catch (...) {
    // Any failure of the call answers false, as the coordinator expects of a cancel.
  }
  co_return false;
}

}  // namespace orlith
