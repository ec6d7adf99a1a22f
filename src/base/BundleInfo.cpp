// Bundle Info dictionaries and the running program's own bundle.
#include "base/BundleInfo.h"

#include <system_error>

namespace orlith {

namespace {

std::filesystem::path infoPlistPath(const std::filesystem::path& bundlePath) {
  return bundlePath / "Contents" / "Info.plist";
}

bool isRegularFile(const std::filesystem::path& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace

BundleInfo::BundleInfo(std::filesystem::path bundlePath, PlistDictionary infoDictionary)
    : bundlePath_(std::move(bundlePath)), infoDictionary_(std::move(infoDictionary)) {}

BundleInfo BundleInfo::load(const std::filesystem::path& bundlePath) {
  std::filesystem::path file = infoPlistPath(bundlePath);
  PlistValue root = readPropertyListFile(file);
  const PlistDictionary* dictionary = root.dictionary();
  if (dictionary == nullptr) {
    throw PropertyListError(file.string() + ": the top level is not a dictionary");
  }
  return BundleInfo(bundlePath, *dictionary);
}

std::optional<std::filesystem::path> BundleInfo::bundlePathOfExecutable(
    const std::filesystem::path& executable) {
  std::filesystem::path macOS = executable.parent_path();
  std::filesystem::path contents = macOS.parent_path();
  if (executable.filename().empty() || macOS.filename() != "MacOS" ||
      contents.filename() != "Contents") {
    return std::nullopt;
  }
  std::filesystem::path bundle = contents.parent_path();
  if (bundle.empty() || !isRegularFile(infoPlistPath(bundle))) {
    return std::nullopt;
  }
  return bundle;
}

std::optional<std::filesystem::path> BundleInfo::mainBundlePath() {
  std::error_code error;
  std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) {
    return std::nullopt;
  }
  return bundlePathOfExecutable(executable);
}

const BundleInfo& BundleInfo::main() {
  static const BundleInfo info = [] {
    std::optional<std::filesystem::path> bundle = mainBundlePath();
    if (!bundle) {
      return BundleInfo();
    }
    try {
      return load(*bundle);
    } catch (const std::exception&) {
      // The accessors have defaults for exactly this case, and their callers must never fail.
      return BundleInfo(*bundle, PlistDictionary());
    }
  }();
  return info;
}

std::optional<std::string> BundleInfo::string(std::string_view key) const {
  const PlistValue* value = infoDictionary_.find(key);
  if (value == nullptr || value->string() == nullptr) {
    return std::nullopt;
  }
  return *value->string();
}

std::optional<std::string> BundleInfo::identifier() const {
  return string("CFBundleIdentifier");
}

std::optional<std::string> BundleInfo::executableName() const {
  return string("CFBundleExecutable");
}

std::string BundleInfo::appVersion() const {
  return string("CFBundleShortVersionString").value_or("1.0");
}

std::string BundleInfo::buildVersion() const {
  return string("CFBundleVersion").value_or("1");
}

std::optional<std::filesystem::path> BundleInfo::resourcePath(std::string_view name,
                                                              std::string_view ext) const {
  if (bundlePath_.empty() || name.empty()) {
    return std::nullopt;
  }
  std::string fileName(name);
  if (!ext.empty()) {
    fileName += "." + std::string(ext);
  }
  std::filesystem::path path = bundlePath_ / "Contents" / "Resources" / fileName;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    return std::nullopt;
  }
  return path;
}

}  // namespace orlith
