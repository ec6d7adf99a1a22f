// A stand-in app whose update road is the real one: the update coordinator with the real check
// and download over libcurl against the stand-in service, and the real installer client. Each
// stage it passes is logged to the test home's results file; a staged update is installed at
// once, and the quit it then asks for ends the program.
#include <glib.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include "TestTreeLocations.h"
#include "base/Json.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibScheduler.h"
#include "platform/glib/GlibTaskRunner.h"
#include "update/client/UpdateCoordinator.h"
#include "update/client/UpdateDownloader.h"
#include "update/client/UpdateInstallerClient.h"
#include "update/trust/UpdateWorkRoot.h"

namespace {

using namespace orlith;

std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void append(const std::filesystem::path& file, const std::string& line) {
  std::ofstream(file, std::ios::app) << line << '\n';
}

bool waitForFile(const std::filesystem::path& file) {
  for (int i = 0; i < 600; ++i) {
    if (std::filesystem::exists(file))
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

template <class T>
std::string outcome(Task<T> task) {
  try {
    if constexpr (std::is_void_v<T>) {
      runOnMainContext(std::move(task));
      return "done";
    } else {
      return "answer " + Json(runOnMainContext(std::move(task))).dump();
    }
  } catch (const std::exception& error) {
    return error.what();
  }
}

// The installer client against the real service: a first call, then one the service cannot
// answer because the test stopped it and then killed it, then the calls after the loss.
int probeClient(const std::filesystem::path& home, const std::filesystem::path& results,
                const Json& control) {
  SystemClock clock;
  std::shared_ptr<UpdateInstallerClient> client;
  try {
    client = runOnMainContext(UpdateInstallerClient::connect(clock));
  } catch (const std::exception& error) {
    append(results, Json{{"step", "connect"}, {"outcome", error.what()}}.dump());
    return 0;
  }
  const std::string first = control.value("first", "cancel") == "prepare"
                                ? outcome(client->prepareCurrentApplication())
                                : outcome(client->cancel("none"));
  append(results, Json{{"step", "first"}, {"outcome", first}}.dump());
  if (!waitForFile(home / "go"))
    return 1;
  append(results, Json{{"step", "calling"}}.dump());
  append(results,
         Json{{"step", "cut"}, {"outcome", outcome(client->prepareCurrentApplication())}}.dump());
  append(results,
         Json{{"step", "after"}, {"outcome", outcome(client->prepareCurrentApplication())}}.dump());
  append(results, Json{{"step", "install"}, {"outcome", outcome(client->install("t"))}}.dump());
  append(results, Json{{"step", "cancel"}, {"outcome", outcome(client->cancel("t"))}}.dump());
  return 0;
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
  if (control.value("mode", "") == "client") {
    return probeClient(home, results, control);
  }
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
  dependencies.removePackagesExcept =
      [packages](std::optional<std::filesystem::path> keep) -> Task<void> {
    UpdateDownloader::removePackagesExcept(packages, keep);
    co_return;
  };
  // The tree's own work roots, never the account's.
  dependencies.removeUnclaimedWorkRoots = [] {
    if (const auto locations = test::testTreeLocations())
      UpdateWorkRoot::removeUnclaimed(*locations);
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
