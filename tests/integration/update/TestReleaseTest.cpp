// A test release made by the release tool, checked as the service checks a download, and served
// by the stand-in service over HTTPS.
#include <gtest/gtest.h>
#include <httplib.h>

#include "OrlithBuildConfig.h"
#include "ReleaseBuilder.h"
#include "base/BundleInfo.h"
#include "base/Sha256.h"
#include "platform/archive/LibarchiveZipReader.h"
#include "support/StandinProcess.h"
#include "support/TemporaryDirectory.h"
#include "unit/update/FakeUserDatabase.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

class TestReleaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locations_ = test::testLocations(tree_.path(), ::geteuid(), std::nullopt);
    locations_.ownBundle = tree_.path() / "service/OrlithUpdateInstaller.xpc";
    test::makeBundle(*locations_.ownBundle,
                     test::helperSpec(std::string(update_wire::kServiceIdentifier),
                                      "OrlithUpdateInstaller", signingKey_.publicKeyText()));
    test::BundleSpec spec;
    spec.pinnedKey = signingKey_.publicKeyText();
    team_.makeApplication(built_, spec);
  }

  Release publish(const std::string& version = "") {
    return ReleaseBuilder::build({built_, version, team_.id(), team_.key(),
                                  test::applicationEntitlements(team_.id()), signingKey_,
                                  downloadBase(), tree_.path() / "release"});
  }

  // As the build's own test release is published: at the origin, with its port.
  static std::string downloadBase() { return std::string(build::kServiceOrigin) + "/downloads/"; }

  TemporaryDirectory tree_;
  UpdateLocations locations_;
  test::TestTeam team_;
  SealingKey signingKey_ = SealingKey::generate();
  std::filesystem::path built_ = tree_.path() / "build/Orlith.app";
};

TEST_F(TestReleaseTest, ReleasePassesTheServiceChecksAsTheNextPatchVersion) {
  const Release release = publish();
  EXPECT_EQ(release.version, "1.0.1");

  const DesktopUpdateManifest manifest = InstallationSecurity::verifiedManifest(
      test::readFile(release.manifest), std::string(update_wire::kOwnArchitecture), locations_);
  EXPECT_EQ(manifest.version, "1.0.1");
  EXPECT_EQ(manifest.downloadUrl, downloadBase() + "Orlith-1.0.1.zip");
  EXPECT_EQ(manifest.sha256, sha256HexOfFile(release.package));
  EXPECT_EQ(release.package.filename(), "Orlith-1.0.1.zip");

  const auto root = tree_.path() / "tmp/OrlithUpdate-1";
  std::filesystem::create_directories(root);
  ::chmod(root.c_str(), 0700);
  std::filesystem::copy_file(release.package, root / "Package.zip");
  LibarchiveZipReader reader;
  const auto candidate = InstallationSecurity::extract(root / "Package.zip", root, "1.0.1",
                                                       team_.team(), reader, locations_);
  EXPECT_NO_THROW(InstallationSecurity::preserveProfileContract(candidate, built_));

  // The built app itself stays as it was.
  EXPECT_EQ(BundleInfo::load(built_).string("CFBundleShortVersionString"), "1.0.0");
  EXPECT_NO_THROW(InstallationSecurity::validateCode(built_, update_wire::kApplicationIdentifier,
                                                     team_.team()));
}

TEST_F(TestReleaseTest, ReleaseThatIsNotNewerIsRefused) {
  EXPECT_THROW(publish("1.0.0"), std::runtime_error);
  EXPECT_THROW(publish("0.9.9"), std::runtime_error);
  EXPECT_EQ(publish("2.0.0").version, "2.0.0");
}

TEST_F(TestReleaseTest, StandinServesThePublishedManifestAndPackage) {
  const Release release = publish();
  const testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_DEV_DIR,
                                        std::chrono::seconds(15),
                                        {"--release", (tree_.path() / "release").string()});
  httplib::SSLClient client("127.0.0.1", standin.port());
  client.set_ca_cert_path(std::string(ORLITH_DEV_DIR) + "/ca.pem");
  client.enable_server_certificate_verification(true);

  const auto latest = client.Get("/api/desktop/latest?platform=darwin&arch=x64&version=1.0.0");
  ASSERT_TRUE(latest);
  EXPECT_EQ(latest->status, 200);
  EXPECT_EQ(latest->body, test::readFile(release.manifest));
  const auto package = client.Get("/downloads/Orlith-1.0.1.zip");
  ASSERT_TRUE(package);
  EXPECT_EQ(package->status, 200);
  EXPECT_EQ(package->body, test::readFile(release.package));
  for (const char* path : {"/downloads/Orlith-9.9.9.zip", "/downloads/manifest.json",
                           "/downloads/..%2Fmanifest.json", "/downloads/staging/Orlith.app"}) {
    const auto missing = client.Get(path);
    ASSERT_TRUE(missing) << path;
    EXPECT_EQ(missing->status, 404) << path;
  }
}

TEST_F(TestReleaseTest, StandinWithoutAReleaseHasNoLatestVersion) {
  const testing::StandinProcess standin(ORLITH_STANDIN_PATH, ORLITH_DEV_DIR);
  httplib::SSLClient client("127.0.0.1", standin.port());
  client.set_ca_cert_path(std::string(ORLITH_DEV_DIR) + "/ca.pem");
  const auto latest = client.Get("/api/desktop/latest");
  ASSERT_TRUE(latest);
  EXPECT_EQ(latest->status, 404);
}

}  // namespace
}  // namespace orlith
