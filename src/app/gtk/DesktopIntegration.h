// Makes the running app known to the desktop, for the user and without root: the desktop entry
// and icon in the XDG data folder, and the app as the default handler of its scheme.
#pragma once

#include <string>

namespace orlith {

class DesktopIntegration {
 public:
  // Does nothing outside a bundle (the tests' programs). Failures are silent: the app runs
  // without them, only links from a browser do not reach it.
  static void install(const std::string& applicationId);
};

}  // namespace orlith
