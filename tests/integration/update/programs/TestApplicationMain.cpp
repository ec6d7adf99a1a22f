// A stand-in app for the end-to-end tests. Each launch is logged with its version, pid and
// bundle; what it does comes from the control file in the test home (the spawn strips the
// environment): the n-th launch of a version runs the n-th mode listed for that version.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "TestTreeLocations.h"
#include "base/Json.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateInstallerChannel.h"

extern char** environ;

namespace {

using namespace orlith;
using namespace std::chrono_literals;

std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void append(const std::filesystem::path& file, const std::string& line) {
  std::ofstream(file, std::ios::app) << line << '\n';
}

std::string replyLine(const std::string& step, const std::optional<std::string>& token,
                      const std::optional<std::string>& error, bool ok) {
  Json line{{"pid", ::getpid()}, {"step", step}, {"ok", ok}};
  line["token"] = token ? Json(*token) : Json(nullptr);
  line["error"] = error ? Json(*error) : Json(nullptr);
  return line.dump();
}

}  // namespace

int main() {
  const auto bundle = BundleInfo::mainBundlePath();
  const auto tree = bundle ? test::testTreeAbove(*bundle) : std::nullopt;
  if (!tree) {
    return 2;
  }
  const std::filesystem::path home = *tree / "home";
  const std::string version = BundleInfo::main().string("CFBundleShortVersionString").value_or("");

  std::size_t earlier = 0;
  {
    std::istringstream log(readAll(home / "launches.log"));
    std::string seen;
    std::string rest;
    while (log >> seen && std::getline(log, rest)) {
      earlier += seen == version ? 1 : 0;
    }
  }
  append(home / "launches.log",
         version + " " + std::to_string(::getpid()) + " " + bundle->string());
  std::string environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    environment += std::string(*entry) + "\n";
  }
  std::ofstream(home / ("environment-" + version + "-" + std::to_string(earlier) + ".txt"))
      << environment;

  const Json control = Json::parse(readAll(home / "control.json"));
  std::string mode = "stay";
  if (control.contains(version) && earlier < control[version].size()) {
    mode = control[version][earlier].get<std::string>();
  }
  if (mode == "exit") {
    return 3;
  }
  if (mode == "stay") {
    std::this_thread::sleep_for(4s);
    return 0;
  }

  const std::filesystem::path results = home / "results.log";
  try {
    // A caller of another team is told the service's team, so it gets as far as asking.
    const UpdateTeam team = control.contains("serviceTeam")
                                ? UpdateTeam{control["serviceTeam"]["id"].get<std::string>(),
                                             control["serviceTeam"]["key"].get<std::string>()}
                                : InstallationSecurity::ownTeam();
    SystemAppLauncher launcher;
    auto channel = UpdateInstallerChannel::spawn(UpdateInstallerChannel::serviceBundleOf(*bundle),
                                                 team, launcher);
    const UpdatePrepareReply prepared =
        mode == "first" ? channel->prepareCurrentApplication(240s)
                        : channel->prepare(readAll(control["package"].get<std::string>()),
                                           readAll(control["manifest"].get<std::string>()), 240s);
    append(results,
           replyLine("prepare", prepared.token, prepared.error, prepared.token.has_value()));
    if (!prepared.token) {
      return 0;
    }
    if (mode == "prepare-and-wait") {
      std::this_thread::sleep_for(30s);
      return 0;
    }
    const UpdateCompletionReply done = mode == "cancel" ? channel->cancel(*prepared.token, 15s)
                                                        : channel->install(*prepared.token, 300s);
    append(results,
           replyLine(mode == "cancel" ? "cancel" : "install", std::nullopt, done.error, done.ok));
    if (mode == "update-linger") {
      // Quits late, so the updater can be caught while it waits for the exit.
      std::this_thread::sleep_for(2s);
    }
    if (mode != "cancel") {
      // The connection ends with the process, not before it: one that ends while the app still
      // runs (a sanitizer's leak check at exit can outlast the service's short exit wait) counts
      // as an app that kept running, and its update is cancelled.
      ::_exit(0);
    }
  } catch (const std::exception& error) {
    append(results, replyLine("error", std::nullopt, std::string(error.what()), false));
  }
  return 0;
}
