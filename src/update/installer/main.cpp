// Entry of the installer service. It takes no arguments; its caller speaks to it over the
// connection it was started with, on descriptor 3.
#include <cstdio>

#include "update/installer/InstallerServiceProcess.h"

int main(int argc, char**) {
  if (argc != 1) {
    std::fputs("OrlithUpdateInstaller takes no arguments.\n", stderr);
    return 64;
  }
  return orlith::InstallerServiceProcess::run(orlith::UpdateLocations::system());
}
