// The installer service as the end-to-end tests run it: the real service over its test tree.
#include "TestTreeLocations.h"
#include "update/installer/InstallerServiceProcess.h"

int main() {
  const auto locations = orlith::test::testTreeLocations();
  return locations ? orlith::InstallerServiceProcess::run(*locations) : 1;
}
