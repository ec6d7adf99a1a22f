// Where the end-to-end test programs find their test tree: the nearest folder above their own
// bundle that holds the tree's marker file. The tree stands in for the Applications folders,
// the temporary folder and the user's home, so no real location is ever touched.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "base/BundleInfo.h"
#include "unit/update/FakeUserDatabase.h"
#include "update/trust/UpdateLocations.h"

namespace orlith::test {

inline constexpr const char* kTestTreeMarker = "orlith-update-test-tree";

inline std::optional<std::filesystem::path> testTreeAbove(std::filesystem::path folder) {
  while (!folder.empty() && folder != folder.root_path()) {
    if (std::filesystem::exists(folder / kTestTreeMarker)) {
      return folder;
    }
    folder = folder.parent_path();
  }
  return std::nullopt;
}

// Nothing for a program outside a test tree, which then serves nothing.
inline std::optional<UpdateLocations> testTreeLocations() {
  const auto bundle = BundleInfo::mainBundlePath();
  const auto tree = bundle ? testTreeAbove(*bundle) : std::nullopt;
  if (!tree) {
    return std::nullopt;
  }
  return UpdateLocations{*tree / "opt/Applications",
                         "sudo",
                         *tree / "tmp",
                         std::make_shared<FakeUserDatabase>(::geteuid(), (*tree / "home").string()),
                         std::make_shared<SystemUpdateVolumes>(),
                         bundle,
                         *tree};
}

}  // namespace orlith::test
