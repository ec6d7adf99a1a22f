// A stand-in app whose update road is the real one: the update coordinator with the real check
// and download over libcurl against the stand-in service, and the real installer client. Each
// stage it passes is logged to the test home's results file; a staged update is installed at
// once, and the quit it then asks for ends the program.
#include <glib.h>
#include <unistd.h>

#include <fstream>

#include "TestTreeLocations.h"
#include "base/Json.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibScheduler.h"
#include "update/client/UpdateCoordinator.h"
#include "update/client/UpdateDownloader.h"
#include "update/client/UpdateInstallerClient.h"

namespace {

using namespace orlith;

std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void append(const std::filesystem::path& file, const std::string& line) {
  std::ofstream(file, std::ios::app) << line << '\n';
}

}  // namespace

int main() {
  const auto bundle = BundleInfo::mainBundlePath();
  const auto tree = bundle ? test::testTreeAbove(*bundle) : std::nullopt;
  if (!tree) {
    return 2;
  }
  const std::filesystem::path home = *tree / "home";
  const std::filesystem::path results = home / "results.log";
  const std::string version = BundleInfo::main().appVersion();
  append(home / "launches.log",
         version + " " + std::to_string(::getpid()) + " " + bundle->string());
  const Json control = Json::parse(readAll(home / "control.json"));
  const std::string origin = control["origin"].get<std::string>();

  GlibMainQueue queue;
  MainQueue::Installation installation(queue);
  GlibScheduler scheduler;
  SystemClock clock;
  RandomUuidSource uuids;
  CurlHttpTransport transport(LocalTlsAuthority{"127.0.0.1", (home / "ca.pem").string()});
  UpdateCheckerContext context = UpdateCheckerContext::ofApplication();
  context.environment = OrlithEnvironment(*Url::parse(origin));
  UpdateChecker checker(transport, context);
  const std::filesystem::path packages = home / "cache" / "OrlithUpdates";
  GMainLoop* loop = g_main_loop_new(nullptr, FALSE);

  UpdateCoordinator::Dependencies dependencies;
  dependencies.check = [&checker] { return checker.check(); };
  dependencies.download = [&](const VerifiedUpdateRelease& release,
                              UpdateCoordinator::Dependencies::DownloadProgress progress)
      -> Task<std::filesystem::path> {
    UpdateDownloader downloader(transport, packages, uuids, UpdateTrustedHosts::ofBuild(), version);
    co_return co_await downloader.download(release, std::move(progress));
  };
  dependencies.installerAvailable = [&] { return UpdateInstallerClient::isInstallerBundled(); };
  dependencies.makeInstaller = [&clock]() -> Task<std::shared_ptr<UpdateInstalling>> {
    co_return co_await UpdateInstallerClient::connect(clock);
  };
  dependencies.hasActiveDownloads = [] { return false; };
  dependencies.showPanel = [] {};
  dependencies.openInstaller = [](const std::filesystem::path&) { return false; };
  dependencies.revealApplication = [] {};
  dependencies.persistAndTerminate = [&] {
    append(results, Json{{"step", "terminate"}}.dump());
    // The toolkit's quit returns at once too: the loop ends on its next turn.
    g_main_loop_quit(loop);
    return TerminateAnswer::quitting;
  };
  dependencies.removePackagesExcept = [packages](std::optional<std::filesystem::path> keep) {
    UpdateDownloader::removePackagesExcept(packages, keep);
  };

  auto coordinator =
      std::make_shared<UpdateCoordinator>(std::move(dependencies), scheduler, uuids, version);
  coordinator->changed().connect([&] {
    const UpdateSnapshot& now = coordinator->snapshot();
    Json line{{"step", std::string(rawValue(now.stage))}, {"progress", now.progress}};
    line["error"] = now.error ? Json(*now.error) : Json(nullptr);
    line["version"] = now.version ? Json(*now.version) : Json(nullptr);
    append(results, line.dump());
    if (now.stage == UpdateStage::ready) {
      queue.post([coordinator] { coordinator->performPrimaryAction(); });
    } else if (now.stage == UpdateStage::failed || now.stage == UpdateStage::upToDate ||
               now.stage == UpdateStage::manual) {
      g_main_loop_quit(loop);
    }
  });
  coordinator->start();
  g_main_loop_run(loop);
  g_main_loop_unref(loop);
  // The installer connection closes only with the process.
  std::_Exit(0);
}
