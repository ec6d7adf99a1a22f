// Tests for BundleInfo: reading a bundle's Info.plist, the defaults when keys are missing or of
// another type, and finding a program's bundle from its path.
#include "base/BundleInfo.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/TemporaryDirectory.h"

namespace orlith {
namespace {

namespace fs = std::filesystem;

class BundleInfoTest : public testing::Test {
 protected:
  fs::path makeBundle(const std::string& name, const std::string& dictBody) {
    fs::path bundle = directory_.path() / name;
    fs::create_directories(bundle / "Contents" / "MacOS");
    fs::create_directories(bundle / "Contents" / "Resources");
    std::ofstream(bundle / "Contents" / "Info.plist")
        << "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>" << dictBody << "</dict></plist>";
    return bundle;
  }

  TemporaryDirectory directory_;
};

TEST_F(BundleInfoTest, ReadsTheKeysOfAFullInfoPlist) {
  fs::path bundle = directory_.path() / "Orlith.app";
  fs::create_directories(bundle / "Contents");
  fs::copy_file(fs::path(ORLITH_SOURCE_DIR) / "tests/unit/base/fixtures/Info.plist",
                bundle / "Contents" / "Info.plist");
  BundleInfo info = BundleInfo::load(bundle);
  EXPECT_EQ(info.bundlePath(), bundle);
  EXPECT_EQ(info.identifier(), "com.tolvik.orlith.mac");
  EXPECT_EQ(info.executableName(), "Orlith");
  EXPECT_EQ(info.appVersion(), "2.4.1");
  EXPECT_EQ(info.buildVersion(), "317");
  EXPECT_EQ(info.string("CFBundlePackageType"), "APPL");
  EXPECT_NE(info.infoDictionary().find("OrlithUpdatePublicKey"), nullptr);
}

TEST_F(BundleInfoTest, MissingOrNonStringKeysGiveTheDefaults) {
  const std::pair<const char*, std::string> kCases[] = {
      {"Missing", ""},
      {"NotStrings",
       "<key>CFBundleIdentifier</key><integer>1</integer>"
       "<key>CFBundleShortVersionString</key><real>2.0</real>"
       "<key>CFBundleVersion</key><integer>7</integer>"
       "<key>CFBundleExecutable</key><array/>"},
  };
  for (const auto& [name, body] : kCases) {
    SCOPED_TRACE(name);
    BundleInfo info = BundleInfo::load(makeBundle(std::string(name) + ".app", body));
    EXPECT_EQ(info.identifier(), std::nullopt);
    EXPECT_EQ(info.executableName(), std::nullopt);
    EXPECT_EQ(info.appVersion(), "1.0");
    EXPECT_EQ(info.buildVersion(), "1");
  }
  BundleInfo none;
  EXPECT_EQ(none.appVersion(), "1.0");
  EXPECT_EQ(none.buildVersion(), "1");
  EXPECT_EQ(none.resourcePath("icon", "png"), std::nullopt);
}

TEST_F(BundleInfoTest, LoadFailsForMissingOrNonDictionaryInfo) {
  fs::create_directories(directory_.path() / "Bare.app" / "Contents");
  EXPECT_THROW(BundleInfo::load(directory_.path() / "Bare.app"), std::system_error);
  fs::path bundle = directory_.path() / "Array.app";
  fs::create_directories(bundle / "Contents");
  std::ofstream(bundle / "Contents" / "Info.plist") << "<plist><array/></plist>";
  EXPECT_THROW(BundleInfo::load(bundle), PropertyListError);
}

TEST_F(BundleInfoTest, ResourcePathOnlyForExistingFiles) {
  fs::path bundle = makeBundle("R.app", "");
  std::ofstream(bundle / "Contents" / "Resources" / "icon.png") << "png";
  std::ofstream(bundle / "Contents" / "Resources" / "LICENSE") << "text";
  BundleInfo info = BundleInfo::load(bundle);
  EXPECT_EQ(info.resourcePath("icon", "png"), bundle / "Contents" / "Resources" / "icon.png");
  EXPECT_EQ(info.resourcePath("LICENSE", ""), bundle / "Contents" / "Resources" / "LICENSE");
  EXPECT_EQ(info.resourcePath("icon", "svg"), std::nullopt);
  EXPECT_EQ(info.resourcePath("missing", "png"), std::nullopt);
}

TEST_F(BundleInfoTest, ExecutableBundleIsThreeLevelsUpWhenItHasAnInfoPlist) {
  fs::path app = makeBundle("Orlith.app", "");
  fs::path xpc = makeBundle("Orlith.app/Contents/XPCServices/Installer.xpc", "");
  fs::path bare = directory_.path() / "Bare.app";
  fs::create_directories(bare / "Contents" / "MacOS");

  const std::pair<fs::path, std::optional<fs::path>> kCases[] = {
      {app / "Contents/MacOS/Orlith", app},
      {xpc / "Contents/MacOS/Installer", xpc},
      {bare / "Contents/MacOS/Bare", std::nullopt},
      {app / "Contents/Resources/Orlith", std::nullopt},
      {app / "Contents/MacOS", std::nullopt},
      {directory_.path() / "Orlith", std::nullopt},
      {"/usr/bin/true", std::nullopt},
      {"Contents/MacOS/x", std::nullopt},
  };
  for (const auto& [executable, expected] : kCases) {
    EXPECT_EQ(BundleInfo::bundlePathOfExecutable(executable), expected) << executable;
  }
}

TEST(BundleInfoMainTest, TestProgramOutsideABundleGetsTheDefaults) {
  EXPECT_EQ(BundleInfo::mainBundlePath(), std::nullopt);
  EXPECT_EQ(&BundleInfo::main(), &BundleInfo::main());
  EXPECT_TRUE(BundleInfo::main().bundlePath().empty());
  EXPECT_EQ(BundleInfo::main().appVersion(), "1.0");
}

}  // namespace
}  // namespace orlith
