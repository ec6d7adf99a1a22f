// Makes the running app known to the desktop, for the user and without root: the desktop entry
// and icon in the XDG data folder, and the app as the default handler of its scheme.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace orlith {

class DesktopIntegration {
 public:
  // Does nothing outside a bundle (the tests' programs). Failures are silent: the app runs
  // without them, only links from a browser do not reach it.
  static void install(const std::string& applicationId);
  // The same for `program` into the data folder `dataHome`; `icon` gives the icon's PNG bytes
  // when they are to be written.
  static void install(const std::string& applicationId, const std::filesystem::path& program,
                      bool programIsInstalled, const std::filesystem::path& dataHome,
                      const std::function<std::string()>& icon);
};

}  // namespace orlith
