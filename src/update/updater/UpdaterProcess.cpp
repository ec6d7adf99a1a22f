// The updater's entry.
#include "update/updater/UpdaterProcess.h"

#include <unistd.h>

#include <cstdio>

#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWire.h"

namespace orlith {

std::string UpdaterProcess::failureLine(std::string_view text) {
  return std::string(update_wire::kUpdaterFailurePrefix) + std::string(text) + "\n";
}

int UpdaterProcess::run(int argc, char** argv, const UpdateLocations& locations,
                        const UpdaterTimings& timings) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  UpdaterContext context{locations, std::make_shared<SystemAppLauncher>(),
                         std::make_shared<RandomUuidSource>(), timings, ::getpid()};
  std::string failure;
  try {
    Updater(std::move(context)).run(arguments);
  } catch (const UpdateFailure& error) {
    failure = error.message();
  } catch (const std::exception& error) {
    failure = error.what();
  } catch (...) {
    failure = "The installation failed.";
  }
  if (!failure.empty()) {
    const std::string line = failureLine(failure);
    std::fwrite(line.data(), 1, line.size(), stderr);
  }
  return 0;
}

}  // namespace orlith
