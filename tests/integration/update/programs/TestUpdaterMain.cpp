// The updater as the end-to-end tests run it: the real updater over its test tree, with short
// waits so a failing case ends quickly.
#include "TestTreeLocations.h"
#include "update/updater/UpdaterProcess.h"

int main(int argc, char** argv) {
  const auto locations = orlith::test::testTreeLocations();
  orlith::UpdaterTimings timings;
  timings.exitDeadline = std::chrono::seconds(20);
  timings.launchConfirmation = std::chrono::seconds(10);
  return locations ? orlith::UpdaterProcess::run(argc, argv, *locations, timings) : 1;
}
