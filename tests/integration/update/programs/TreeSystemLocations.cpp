// The update locations of the test copy of the bundle, linked in place of the machine's: those of
// the test tree the copy lies in. Outside a test tree the copy stops as soon as it asks for them,
// so it can never act on the account's own Applications folders.
#include <cstdio>
#include <cstdlib>

#include "TestTreeLocations.h"

namespace orlith {

const UpdateLocations& UpdateLocations::system() {
  static const UpdateLocations locations = [] {
    auto tree = test::testTreeLocations();
    if (!tree) {
      std::fputs("This test copy of Orlith runs only inside an update test tree.\n", stderr);
      std::_Exit(78);
    }
    return *std::move(tree);
  }();
  return locations;
}

}  // namespace orlith
