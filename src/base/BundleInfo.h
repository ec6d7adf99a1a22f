// A bundle's Info dictionary: a folder such as "Orlith.app" or "X.xpc" with Contents/Info.plist,
// its program in Contents/MacOS and its resources in Contents/Resources.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "base/PropertyList.h"

namespace orlith {

class BundleInfo {
 public:
  // No bundle: an empty dictionary, so every accessor gives its default.
  BundleInfo() = default;
  BundleInfo(std::filesystem::path bundlePath, PlistDictionary infoDictionary);

  // Reads <bundle>/Contents/Info.plist; its top level must be a dictionary. Throws
  // std::system_error when it cannot be read, PropertyListError when it is malformed.
  static BundleInfo load(const std::filesystem::path& bundlePath);

  // The bundle of a program at <bundle>/Contents/MacOS/<program>, when <bundle> has
  // Contents/Info.plist.
  static std::optional<std::filesystem::path> bundlePathOfExecutable(
      const std::filesystem::path& executable);
  // The bundle of the running program, found from /proc/self/exe.
  static std::optional<std::filesystem::path> mainBundlePath();
  // The running program's bundle, loaded once. A program outside a bundle, or whose Info.plist
  // cannot be read, gets an empty info, so the defaults apply.
  static const BundleInfo& main();

  // Empty when there is no bundle.
  const std::filesystem::path& bundlePath() const { return bundlePath_; }
  const PlistDictionary& infoDictionary() const { return infoDictionary_; }

  // nullopt when missing or not a string.
  std::optional<std::string> string(std::string_view key) const;
  std::optional<std::string> identifier() const;      // CFBundleIdentifier
  std::optional<std::string> executableName() const;  // CFBundleExecutable
  // CFBundleShortVersionString when it is a string, else "1.0".
  std::string appVersion() const;
  // CFBundleVersion when it is a string, else "1".
  std::string buildVersion() const;

  // Contents/Resources/<name>.<ext> (no dot when ext is empty) when it exists.
  std::optional<std::filesystem::path> resourcePath(std::string_view name,
                                                    std::string_view ext) const;

 private:
  std::filesystem::path bundlePath_;
  PlistDictionary infoDictionary_;
};

}  // namespace orlith
