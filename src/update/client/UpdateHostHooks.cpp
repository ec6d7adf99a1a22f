// The coordinator's production dependencies.
#include "update/client/UpdateHostHooks.h"

#include <unistd.h>

#include "base/BundleInfo.h"
#include "base/Worker.h"
#include "base/WorkerPool.h"
#include "update/client/UpdateChecker.h"
#include "update/client/UpdateDownloader.h"
#include "update/client/UpdateInstallerClient.h"
#include "update/trust/UpdateLocations.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

// Folder removal blocks on the disk, so it runs on a worker; what fails is left for a later run.
Task<void> removePackagesOnWorker(std::filesystem::path packages,
                                  std::optional<std::filesystem::path> keep) {
  auto job = [packages, keep] { UpdateDownloader::removePackagesExcept(packages, keep); };
  co_await runOnWorker(std::move(job));
}

}  // namespace

UpdateCoordinator::Dependencies makeUpdateCoordinatorDependencies(
    std::shared_ptr<HttpTransport> transport, const Clock& clock, UuidSource& uuids,
    UpdateHostHooks hooks) {
  UpdateCoordinator::Dependencies d;
  auto checker = std::make_shared<UpdateChecker>(*transport, UpdateCheckerContext::ofApplication());
  d.check = [checker] { return checker->check(); };
  const std::filesystem::path packages = UpdateDownloader::defaultPackagesFolder();
  d.download = [transport, packages, &uuids](
                   const VerifiedUpdateRelease& release,
                   UpdateCoordinator::Dependencies::DownloadProgress progress)
      -> Task<std::filesystem::path> {
    UpdateDownloader downloader(*transport, packages, uuids, UpdateTrustedHosts::ofBuild(),
                                BundleInfo::main().appVersion());
    co_return co_await downloader.download(release, std::move(progress));
  };
  d.installerAvailable = [] { return UpdateInstallerClient::isInstallerBundled(); };
  d.makeInstaller = [&clock]() -> Task<std::shared_ptr<UpdateInstalling>> {
    co_return co_await UpdateInstallerClient::connect(clock);
  };
  d.hasActiveDownloads = std::move(hooks.hasActiveDownloads);
  d.showPanel = std::move(hooks.showPanel);
  d.openInstaller = std::move(hooks.openInstaller);
  d.revealApplication = std::move(hooks.revealApplication);
  d.persistAndTerminate = [announce = std::move(hooks.announceRestart),
                           closePanels = std::move(hooks.closePanels),
                           terminate = std::move(hooks.terminate)] {
    announce();
    closePanels();
    return terminate();
  };
  d.removePackagesExcept = [packages](std::optional<std::filesystem::path> keep) {
    return removePackagesOnWorker(packages, std::move(keep));
  };
  // Claimed roots are never taken, so this needs no ordering with anything the app does.
  d.removeUnclaimedWorkRoots = [packages] {
    WorkerPool::shared().submit([packages] {
      UpdateWorkRoot::removeUnclaimed(UpdateLocations::system());
      UpdateWorkRoot::removeUnclaimedIn(packages, ::geteuid());
    });
  };
  return d;
}

}  // namespace orlith
