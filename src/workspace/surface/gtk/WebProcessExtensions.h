// Loads the app's web-process extension into every web process of the default web context.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

namespace orlith {

class WebProcessExtensions {
 public:
  // Where the build places the extension inside the app bundle.
  static constexpr std::string_view kBundleFolder = "Contents/Resources/web-extensions";

  // Makes `folder` readable inside the web process sandbox and loads the extensions in it.
  // Once per process and before the first web view: the engine refuses a sandbox path added
  // after its first web process started. Later calls do nothing.
  static void install(const std::filesystem::path& folder);
  // Installs the running bundle's extension folder unless one is installed already; false
  // when the program runs outside a bundle that has one.
  static bool installFromBundle();
  static bool isInstalled();
};

}  // namespace orlith
