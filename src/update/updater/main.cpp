// Entry of the updater. Its one argument is the path of the install plan.
#include "update/updater/UpdaterProcess.h"

int main(int argc, char** argv) {
  return orlith::UpdaterProcess::run(argc, argv, orlith::UpdateLocations::system());
}
