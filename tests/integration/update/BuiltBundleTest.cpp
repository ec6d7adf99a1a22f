// The bundles this build made and sealed: each nested program finds its own team in its seal,
// and the app passes the checks an installed copy must pass. It needs a full build, whose last
// step seals the bundles.
#include <gtest/gtest.h>

#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

const std::filesystem::path kApp = ORLITH_BUNDLE_DIR;

TEST(BuiltBundleTest, NestedProgramsReadTheBuildTeamAndTrustTheApp) {
  if (!std::filesystem::exists(kApp / "Contents/MacOS/Orlith") ||
      !std::filesystem::exists(kApp / "Contents/_CodeSignature/CodeResources")) {
    GTEST_SKIP() << "no sealed app in this build tree (ORLITH_BUILD_UI is OFF, or not yet built)";
  }
  for (const char* nested :
       {"Contents/XPCServices/OrlithUpdateInstaller.xpc", "Contents/Helpers/OrlithUpdater.app"}) {
    UpdateLocations locations = UpdateLocations::system();
    locations.ownBundle = kApp / nested;
    const UpdateTeam team = InstallationSecurity::ownTeam(locations);
    EXPECT_NO_THROW(InstallationSecurity::validateCode(kApp, "com.tolvik.orlith.mac", team));
    EXPECT_NO_THROW(InstallationSecurity::validatePinnedKey(kApp, locations));
    EXPECT_NO_THROW(InstallationSecurity::validateArchitecture(kApp, "x64"));
  }
}

}  // namespace
}  // namespace orlith
