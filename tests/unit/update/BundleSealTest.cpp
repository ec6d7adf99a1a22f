// Seal checks on fixture bundles: what validateCode accepts and refuses, and the own team.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "FakeUserDatabase.h"
#include "SealedBundles.h"
#include "support/TemporaryDirectory.h"
#include "update/trust/AtomicFile.h"
#include "update/trust/BundleSeal.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr const char* kVerificationFailed = "The update failed code signature verification.";

std::string failureOf(const std::function<void()>& check) {
  try {
    check();
  } catch (const UpdateFailure& failure) {
    return failure.message();
  }
  return "";
}

struct SealCase {
  const char* name;
  std::function<void(const std::filesystem::path& app, const test::TestTeam& team)> spoil;
  const char* expected;  // "" passes
};

class BundleSealTest : public ::testing::TestWithParam<SealCase> {
 protected:
  TemporaryDirectory tree_;
  test::TestTeam team_;
};

TEST_P(BundleSealTest, ValidateCodeJudgesTheSealedBundle) {
  const auto app = tree_.path() / "Orlith.app";
  team_.makeApplication(app, {});
  GetParam().spoil(app, team_);
  EXPECT_EQ(failureOf([&] {
              InstallationSecurity::validateCode(app, "com.tolvik.orlith.mac", team_.team());
            }),
            GetParam().expected);
}

const auto nothing = [](const std::filesystem::path&, const test::TestTeam&) {};

INSTANTIATE_TEST_SUITE_P(
    Fixtures, BundleSealTest,
    ::testing::Values(
        SealCase{"Sealed", nothing, ""},
        SealCase{"OneByteChanged",
                 [](const auto& app, const auto&) {
                   auto program = test::readFile(app / "Contents/MacOS/Orlith");
                   program[40] ^= 1;
                   test::writeFile(app / "Contents/MacOS/Orlith", program, 0755);
                 },
                 kVerificationFailed},
        SealCase{"FileAdded",
                 [](const auto& app, const auto&) {
                   test::writeFile(app / "Contents/Resources/extra.txt", "x");
                 },
                 kVerificationFailed},
        SealCase{"FileBesideContents",
                 [](const auto& app, const auto&) { test::writeFile(app / "README", "x"); },
                 kVerificationFailed},
        SealCase{"ExecuteBitDropped",
                 [](const auto& app, const auto&) {
                   ::chmod((app / "Contents/MacOS/Orlith").c_str(), 0644);
                 },
                 kVerificationFailed},
        SealCase{"Unsealed",
                 [](const auto& app, const auto&) {
                   std::filesystem::remove(app / "Contents/_CodeSignature/CodeSignature");
                 },
                 kVerificationFailed},
        SealCase{"OtherKeySameIdentifier",
                 [](const auto& app, const auto&) {
                   test::TestTeam("ABCDE12345").seal(app, test::applicationEntitlements("X"));
                 },
                 kVerificationFailed},
        SealCase{"SealedForAnotherIdentifier",
                 [](const auto& app, const auto& team) {
                   auto plist = test::readFile(app / "Contents/Info.plist");
                   plist.replace(plist.find("orlith.mac"), 10, "orlith.mad");
                   test::writeFile(app / "Contents/Info.plist", plist);
                   team.seal(app);
                 },
                 kVerificationFailed},
        SealCase{"NestedBundleChanged",
                 [](const auto& app, const auto&) {
                   test::writeFile(app /
                                       "Contents/Helpers/OrlithUpdater.app/Contents/MacOS/"
                                       "OrlithUpdater",
                                   "changed", 0755);
                 },
                 kVerificationFailed},
        SealCase{"NestedBundleResealedByAnotherTeam",
                 [](const auto& app, const auto& team) {
                   test::TestTeam("ABCDE12345").seal(app / "Contents/Helpers/OrlithUpdater.app");
                   team.seal(app, test::applicationEntitlements(team.id()));
                 },
                 kVerificationFailed},
        SealCase{"SetuidFile",
                 [](const auto& app, const auto&) {
                   ::chmod((app / "Contents/MacOS/Orlith").c_str(), 04755);
                 },
                 kVerificationFailed},
        SealCase{"WorldWritableFolder",
                 [](const auto& app, const auto&) {
                   ::chmod((app / "Contents/Resources").c_str(), 0757);
                 },
                 kVerificationFailed},
        SealCase{"FifoPlanted",
                 [](const auto& app, const auto&) {
                   ::mkfifo((app / "Contents/Resources/pipe").c_str(), 0644);
                 },
                 kVerificationFailed},
        SealCase{"LinkPlanted",
                 [](const auto& app, const auto&) {
                   std::filesystem::create_symlink("/etc/passwd", app / "Contents/Resources/l");
                 },
                 kVerificationFailed},
        SealCase{"NotADirectory",
                 [](const auto& app, const auto&) {
                   std::filesystem::remove_all(app);
                   test::writeFile(app, "file");
                 },
                 "The update application's signature could not be read."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BundleSealTeamTest, MalformedExpectedTeamIsAnInvalidRequirement) {
  TemporaryDirectory tree;
  test::TestTeam team;
  team.makeApplication(tree.path() / "Orlith.app", {});
  for (const UpdateTeam& bad :
       {UpdateTeam{"ABCDE1234", team.team().publicKey},
        UpdateTeam{"abcde12345", team.team().publicKey}, UpdateTeam{team.id(), "AAAA"}}) {
    EXPECT_EQ(failureOf([&] {
                InstallationSecurity::validateCode(tree.path() / "Orlith.app",
                                                   "com.tolvik.orlith.mac", bad);
              }),
              "The updater trust requirement is invalid.");
  }
}

// A seal whose document names a malformed team, signed with the team's real key.
void sealWithTeamIdentifier(const std::filesystem::path& bundle, const test::TestTeam& team,
                            const std::string& identifier) {
  team.seal(bundle);
  BundleSealDocument document =
      BundleSealDocument::decode(test::readFile(bundle / "Contents/_CodeSignature/CodeResources"));
  document.team.identifier = identifier;
  const std::string bytes = document.encode();
  AtomicFile::write(bundle / "Contents/_CodeSignature", "CodeResources", bytes, 0644);
  AtomicFile::write(bundle / "Contents/_CodeSignature", "CodeSignature", team.key().sign(bytes),
                    0644);
}

TEST(OwnTeamTest, ReadsTheTeamOfItsOwnVerifiedSeal) {
  TemporaryDirectory tree;
  test::TestTeam team;
  auto locations = test::testLocations(tree.path(), ::geteuid(), std::nullopt);
  locations.ownBundle = tree.path() / "Orlith.app";
  team.makeApplication(*locations.ownBundle, {});
  EXPECT_EQ(InstallationSecurity::ownTeam(locations), team.team());

  test::writeFile(*locations.ownBundle / "Contents/Resources/new.txt", "x");
  EXPECT_EQ(failureOf([&] { InstallationSecurity::ownTeam(locations); }), kVerificationFailed);
}

TEST(OwnTeamTest, MalformedOwnTeamIdentifiersAreInvalidSignatures) {
  for (const std::string identifier : {"ABCDE1234", "ABCDE123456", "abcde12345", "ABCDE-2345"}) {
    TemporaryDirectory tree;
    test::TestTeam team;
    auto locations = test::testLocations(tree.path(), ::geteuid(), std::nullopt);
    locations.ownBundle = tree.path() / "OrlithUpdater.app";
    test::makeBundle(*locations.ownBundle,
                     test::helperSpec("com.tolvik.orlith.mac.Updater", "OrlithUpdater"));
    sealWithTeamIdentifier(*locations.ownBundle, team, identifier);
    EXPECT_EQ(failureOf([&] { InstallationSecurity::ownTeam(locations); }),
              "The updater's code signature is invalid.")
        << identifier;
  }
}

TEST(OwnTeamTest, NoBundleOrNoSealCannotBeRead) {
  TemporaryDirectory tree;
  auto locations = test::testLocations(tree.path(), ::geteuid(), std::nullopt);
  EXPECT_EQ(failureOf([&] { InstallationSecurity::ownTeam(locations); }),
            "The update application's signature could not be read.");
  locations.ownBundle = tree.path() / "OrlithUpdater.app";
  test::makeBundle(*locations.ownBundle,
                   test::helperSpec("com.tolvik.orlith.mac.Updater", "OrlithUpdater"));
  EXPECT_EQ(failureOf([&] { InstallationSecurity::ownTeam(locations); }),
            "The updater's code signature is invalid.");
}

TEST(SealerTest, RefusesLinksAndSpecialFiles) {
  TemporaryDirectory tree;
  test::TestTeam team;
  const auto bundle = tree.path() / "Orlith.app";
  test::makeBundle(bundle, {});
  std::filesystem::create_symlink("Info.plist", bundle / "Contents/alias");
  EXPECT_THROW(team.seal(bundle), BundleSealError);
}

}  // namespace
}  // namespace orlith
