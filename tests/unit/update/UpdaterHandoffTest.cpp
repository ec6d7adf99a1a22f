// The updater's first phase: a handoff it must refuse before it reads or touches anything, and
// the one line it writes to standard error.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "FakeUserDatabase.h"
#include "SealedBundles.h"
#include "support/TemporaryDirectory.h"
#include "update/trust/UpdateFailure.h"
#include "update/updater/Updater.h"
#include "update/updater/UpdaterProcess.h"

namespace orlith {
namespace {

struct HandoffCase {
  const char* name;
  std::function<std::vector<std::string>(const std::filesystem::path& root)> prepare;
  const char* message;
};

class UpdaterHandoffTest : public ::testing::TestWithParam<HandoffCase> {
 protected:
  void SetUp() override {
    root_ = tree_.path() / "tmp/OrlithUpdate-1";
    std::filesystem::create_directories(root_);
    ::chmod(root_.c_str(), 0700);
  }

  TemporaryDirectory tree_;
  std::filesystem::path root_;
};

std::vector<std::string> planOf(const std::filesystem::path& root, const std::string& bytes,
                                mode_t mode = 0600) {
  test::writeFile(root / "InstallPlan.json", bytes, mode);
  return {(root / "InstallPlan.json").string()};
}

TEST_P(UpdaterHandoffTest, IsRefusedAndTheWorkRootStays) {
  const auto arguments = GetParam().prepare(root_);
  UpdaterContext context{test::testLocations(tree_.path(), ::geteuid(), std::nullopt),
                         nullptr,
                         nullptr,
                         {},
                         ::getpid()};
  std::string message;
  try {
    Updater(context).run(arguments);
  } catch (const UpdateFailure& failure) {
    message = failure.message();
  }
  EXPECT_EQ(message, GetParam().message);
  EXPECT_TRUE(std::filesystem::exists(root_));
}

INSTANTIATE_TEST_SUITE_P(
    Handoffs, UpdaterHandoffTest,
    ::testing::Values(
        HandoffCase{"NoArgument", [](const auto&) { return std::vector<std::string>{}; },
                    "Invalid updater handoff."},
        HandoffCase{"TwoArguments",
                    [](const auto& root) {
                      auto arguments = planOf(root, "{}");
                      arguments.push_back("more");
                      return arguments;
                    },
                    "Invalid updater handoff."},
        HandoffCase{"PlanIsALink",
                    [](const auto& root) {
                      test::writeFile(root / "real.json", "{}", 0600);
                      std::filesystem::create_symlink(root / "real.json",
                                                      root / "InstallPlan.json");
                      return std::vector<std::string>{(root / "InstallPlan.json").string()};
                    },
                    "The updater handoff is not private."},
        HandoffCase{"PlanIsGroupWritable",
                    [](const auto& root) { return planOf(root, "{}", 0620); },
                    "The updater handoff is not private."},
        HandoffCase{"PlanIsEmpty", [](const auto& root) { return planOf(root, ""); },
                    "The updater handoff is not private."},
        HandoffCase{"PlanIsOneMebibyte",
                    [](const auto& root) { return planOf(root, std::string(1'048'576, ' ')); },
                    "The updater handoff is not private."},
        HandoffCase{"CancelledAtStart",
                    [](const auto& root) {
                      test::writeFile(root / "Cancelled", "", 0600);
                      return planOf(root, "not even JSON");
                    },
                    "The installation was cancelled."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdaterProcessTest, FailureLineHasThePrefixAndOneLineEnd) {
  EXPECT_EQ(UpdaterProcess::failureLine("Invalid updater handoff."),
            "Orlith installation did not complete: Invalid updater handoff.\n");
}

}  // namespace
}  // namespace orlith
