// The sweep of work roots over real folders and real processes: a root whose owner was killed
// with SIGKILL goes, a root that a live process claims stays, and nothing outside the user's
// private folder of work roots is ever reached.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "support/HoldingChild.h"
#include "support/TemporaryDirectory.h"
#include "unit/update/FakeUserDatabase.h"
#include "unit/update/SealedBundles.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

using std::filesystem::path;

class WorkRootSweepTest : public ::testing::Test {
 protected:
  // A child that makes a root, reports its path and holds its claim until it is killed.
  std::unique_ptr<testing::HoldingChild> childHoldingARoot() {
    auto child = std::make_unique<testing::HoldingChild>([this] {
      RandomUuidSource uuids;
      UpdateWorkRoot::Created root = UpdateWorkRoot::create(locations_, uuids);
      // The claim outlives the work, until the child is killed.
      static FolderClaim held;
      held = std::move(root.claim);
      return root.path.string();
    });
    return child;
  }

  bool exists(const path& item) const {
    return std::filesystem::symlink_status(item).type() != std::filesystem::file_type::not_found;
  }

  TemporaryDirectory tree_;
  UpdateLocations locations_ = test::testLocations(tree_.path(), ::geteuid(), std::nullopt);
  RandomUuidSource uuids_;
};

TEST_F(WorkRootSweepTest, RootsOfKilledOwnersGoAndClaimedRootsStay) {
  const auto live = childHoldingARoot();
  const auto killed = childHoldingARoot();
  const path liveRoot = live->report();
  const path killedRoot = killed->report();
  ASSERT_TRUE(exists(liveRoot)) << live->report();
  ASSERT_TRUE(exists(killedRoot)) << killed->report();
  test::writeFile(killedRoot / "Orlith.app/Contents/Info.plist", "staged");
  killed->kill();
  UpdateWorkRoot::Created own = UpdateWorkRoot::create(locations_, uuids_);

  const path work = own.path.parent_path();
  // Left by a version that did not claim its roots.
  const path unclaimed = work / ("OrlithUpdate-" + uuids_.next());
  test::writeFile(unclaimed / "Package.zip", "old");
  const path otherName = work / "OrlithUpdate-notes";
  test::writeFile(otherName / "keep.txt", "keep");
  const path outside = tree_.path() / "outside";
  test::writeFile(outside / "keep.txt", "keep");
  const path planted = work / ("OrlithUpdate-" + uuids_.next());
  std::filesystem::create_directory_symlink(outside, planted);

  UpdateWorkRoot::removeUnclaimed(locations_);
  EXPECT_FALSE(exists(killedRoot));
  EXPECT_FALSE(exists(unclaimed));
  EXPECT_TRUE(exists(liveRoot));
  EXPECT_TRUE(exists(own.path));
  EXPECT_TRUE(exists(otherName / "keep.txt"));
  EXPECT_TRUE(exists(outside / "keep.txt"));
  EXPECT_TRUE(exists(planted)) << "a link is no root";

  live->kill();
  own.claim = FolderClaim();
  UpdateWorkRoot::removeUnclaimed(locations_);
  EXPECT_FALSE(exists(liveRoot));
  EXPECT_FALSE(exists(own.path));
  EXPECT_TRUE(exists(outside / "keep.txt"));

  // Roots an earlier version made in the packages folder go the same way; packages stay.
  const path packages = tree_.path() / "cache/OrlithUpdates";
  const path earlier = packages / ("OrlithUpdate-" + uuids_.next());
  const path package = packages / uuids_.next() / "Orlith-1.1.0.zip";
  test::writeFile(earlier / "InstallPlan.json", "{}");
  test::writeFile(package, "zip");
  ::chmod(packages.c_str(), 0700);
  UpdateWorkRoot::removeUnclaimedIn(packages, ::geteuid());
  EXPECT_FALSE(exists(earlier));
  EXPECT_TRUE(exists(package));
}

// The folder of work roots is the road's own only as a real private folder: a link to the
// person's files, or a folder others may change, gets no root, and a sweep removes nothing in it
// even where a name looks like a root's.
TEST_F(WorkRootSweepTest, AFolderThatIsALinkOrNotPrivateGetsNoRootAndLosesNothing) {
  const path documents = tree_.path() / "Documents";
  const path lookalike = documents / ("OrlithUpdate-" + uuids_.next()) / "InstallPlan.json";
  struct Case {
    const char* name;
    std::function<void()> make;
  };
  const Case cases[] = {
      {"link",
       [&] { std::filesystem::create_directory_symlink(documents, locations_.temporaryFolder); }},
      {"group-writable",
       [&] {
         std::filesystem::copy(documents, locations_.temporaryFolder,
                               std::filesystem::copy_options::recursive);
         ::chmod(locations_.temporaryFolder.c_str(), 0770);
       }},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(documents);
    std::filesystem::remove_all(locations_.temporaryFolder);
    test::writeFile(lookalike, "mine");
    c.make();
    const path inFolder =
        locations_.temporaryFolder / lookalike.parent_path().filename() / lookalike.filename();
    EXPECT_THROW(UpdateWorkRoot::create(locations_, uuids_), UpdateFailure) << c.name;
    UpdateWorkRoot::removeUnclaimed(locations_);
    EXPECT_TRUE(exists(lookalike)) << c.name;
    EXPECT_TRUE(exists(inFolder)) << c.name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(documents),
                            std::filesystem::directory_iterator()),
              1)
        << c.name;
  }
}

}  // namespace
}  // namespace orlith
