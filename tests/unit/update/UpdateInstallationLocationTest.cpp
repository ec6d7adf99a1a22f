// Identities, the requirement text and the standard installation locations on a private tree.
#include <gtest/gtest.h>
#include <unistd.h>

#include "unit/update/FakeUserDatabase.h"
#include "update/trust/UpdateInstallationLocation.h"
#include "update/trust/UpdateInstallerIdentity.h"

namespace orlith {
namespace {

using std::filesystem::path;

TEST(UpdateInstallerIdentityTest, RequirementTextInsertsIdentifierAndTeamWithNothingAround) {
  EXPECT_EQ(UpdateInstallerIdentity::requirementText(UpdateInstallerIdentity::kHelper,
                                                     {"AB12CD34EF", "key"}),
            "anchor apple generic and identifier \"com.tolvik.orlith.mac.Updater\" and "
            "certificate leaf[subject.OU] = \"AB12CD34EF\" and certificate "
            "1[field.1.2.840.113635.100.6.2.6] exists and certificate "
            "leaf[field.1.2.840.113635.100.6.1.13] exists");
  EXPECT_EQ(UpdateInstallerIdentity::kService, "com.tolvik.orlith.mac.UpdateInstaller");
  EXPECT_EQ(UpdateInstallerIdentity::kApplicationFileName, "Orlith.app");
}

TEST(UpdateInstallationLocationTest, RealUserHomeComesOnlyFromAUsableDatabaseEntry) {
  const struct {
    uid_t user;
    std::optional<std::string> home;
    std::optional<path> expected;
  } cases[] = {
      {1000, "/home/ada", path("/home/ada")},
      {1000, "/home/ada/", path("/home/ada")},
      {1000, "/home/./ada/../ada", path("/home/ada")},
      {0, "/root", std::nullopt},
      {1000, std::nullopt, std::nullopt},
      {1000, "", std::nullopt},
      {1000, "home/ada", std::nullopt},
      {1000, "/", std::nullopt},
      {1000, "//", std::nullopt},
      {1000, "/home/..", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto locations = test::testLocations("/t", c.user, c.home);
    EXPECT_EQ(UpdateInstallationLocation::realUserHome(locations), c.expected)
        << c.home.value_or("(none)");
    const auto user = UpdateInstallationLocation::userApplication(locations);
    EXPECT_EQ(user.has_value(), c.expected.has_value());
    if (user) {
      EXPECT_EQ(*user, *c.expected / "Applications/Orlith.app");
    }
  }
}

class StandardApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orlith-locations-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    tree_ = std::filesystem::canonical(pattern);
    for (const char* folder :
         {"opt/Applications/Orlith.app", "opt/Applications/Sub/Orlith.app",
          "opt/Applications/Orlith copy.app", "home/ada/Applications/Orlith.app",
          "elsewhere/Applications/Orlith.app"}) {
      std::filesystem::create_directories(tree_ / folder);
    }
    std::filesystem::create_directory_symlink(tree_ / "opt", tree_ / "linked-opt");
    std::filesystem::create_directory_symlink(tree_ / "home/ada", tree_ / "home/linked-ada");
    std::filesystem::create_directory_symlink(tree_ / "elsewhere/Applications/Orlith.app",
                                              tree_ / "home/ada/Applications/Linked.app");
  }
  void TearDown() override { std::filesystem::remove_all(tree_); }

  path tree_;
};

TEST_F(StandardApplicationTest, OnlyTheTwoLocationsReachedWithoutLinksAreStandard) {
  const auto locations = test::testLocations(tree_, 1000, (tree_ / "home/ada").string());
  const struct {
    path bundle;
    bool standard;
  } cases[] = {
      {tree_ / "opt/Applications/Orlith.app", true},
      {tree_ / "opt/Applications/Orlith.app/", true},
      {tree_ / "opt/Applications/Sub/../Orlith.app", true},
      {tree_ / "home/ada/Applications/Orlith.app", true},
      {tree_ / "opt/Applications/Sub/Orlith.app", false},
      {tree_ / "opt/Applications/Orlith copy.app", false},
      {tree_ / "elsewhere/Applications/Orlith.app", false},
      {tree_ / "linked-opt/Applications/Orlith.app", false},
      {tree_ / "home/linked-ada/Applications/Orlith.app", false},
      {"opt/Applications/Orlith.app", false},
      {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateInstallationLocation::isStandardApplication(c.bundle, locations), c.standard)
        << c.bundle;
  }
}

TEST_F(StandardApplicationTest, ALinkOrDanglingLinkAtTheLocationItselfIsNotStandard) {
  const path app = tree_ / "home/ada/Applications/Orlith.app";
  std::filesystem::remove(app);
  std::filesystem::create_directory_symlink(tree_ / "elsewhere/Applications/Orlith.app", app);
  const auto locations = test::testLocations(tree_, 1000, (tree_ / "home/ada").string());
  EXPECT_FALSE(UpdateInstallationLocation::isStandardApplication(app, locations));
  std::filesystem::remove(app);
  std::filesystem::create_directory_symlink(tree_ / "nowhere", app);
  EXPECT_FALSE(UpdateInstallationLocation::isStandardApplication(app, locations));
  std::filesystem::remove(app);
  EXPECT_TRUE(UpdateInstallationLocation::isStandardApplication(app, locations))
      << "a location not yet made is still the standard one";
}

TEST_F(StandardApplicationTest, AHomeReachedThroughALinkHasNoStandardUserLocation) {
  const auto locations = test::testLocations(tree_, 1000, (tree_ / "home/linked-ada").string());
  EXPECT_FALSE(UpdateInstallationLocation::isStandardApplication(
      tree_ / "home/linked-ada/Applications/Orlith.app", locations));
  EXPECT_FALSE(UpdateInstallationLocation::isStandardApplication(
      tree_ / "home/ada/Applications/Orlith.app", locations));
}

TEST_F(StandardApplicationTest, ForRootOnlyTheSystemLocationIsStandard) {
  const auto locations = test::testLocations(tree_, 0, (tree_ / "home/ada").string());
  EXPECT_TRUE(UpdateInstallationLocation::isStandardApplication(
      tree_ / "opt/Applications/Orlith.app", locations));
  EXPECT_FALSE(UpdateInstallationLocation::isStandardApplication(
      tree_ / "home/ada/Applications/Orlith.app", locations));
}

TEST(UpdateLocationsTest, ProductionLocationsAreCompiledIn) {
  const auto& locations = UpdateLocations::system();
  EXPECT_EQ(UpdateInstallationLocation::systemApplication(locations),
            path("/opt/Applications/Orlith.app"));
  EXPECT_EQ(locations.users->effectiveUserId(), ::geteuid());
}

}  // namespace
}  // namespace orlith
