// Work-root privacy, Applications folders and the choice of destination, on a private tree
// with injected locations. Owner and group cases need root and skip otherwise.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include "FakeUserDatabase.h"
#include "SealedBundles.h"
#include "support/TemporaryDirectory.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr uid_t kUser = 1000;

struct Outcome {
  std::string message;
  bool manual = false;
};

Outcome outcomeOf(const std::function<void()>& check) {
  try {
    check();
  } catch (const UpdateFailure& failure) {
    return {failure.message(), failure.requiresManualInstallation()};
  }
  return {};
}

class FakeVolumes final : public UpdateVolumes {
 public:
  bool isReadOnly(const std::filesystem::path&) const override { return readOnly; }
  VolumeSupport swapRenaming(const std::filesystem::path&) const override { return swap; }
  bool readOnly = false;
  VolumeSupport swap = VolumeSupport::supported;
};

class DestinationSafetyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) {
      GTEST_SKIP() << "owner cases need root";
    }
    home_ = tree_.path() / "home/ada";
    locations_ = test::testLocations(tree_.path(), kUser, home_.string());
    locations_.volumes = volumes_;
    locations_.ownBundle = tree_.path() / "service/OrlithUpdateInstaller.xpc";
    test::makeBundle(
        *locations_.ownBundle,
        test::helperSpec("com.tolvik.orlith.mac.UpdateInstaller", "OrlithUpdateInstaller", key_));
    std::filesystem::create_directories(system_.parent_path());
    std::filesystem::create_directories(home_ / "Downloads");
    ::chmod(system_.parent_path().c_str(), 0755);
    ::chmod(home_.c_str(), 0755);
    ownBy(home_, kUser);
    candidate_ = tree_.path() / "tmp/OrlithUpdate-1/Orlith.app";
    makeApp(candidate_, "1.1.0");
  }

  void makeApp(const std::filesystem::path& app, const std::string& version) {
    test::BundleSpec spec;
    spec.version = version;
    spec.pinnedKey = key_;
    team_.makeApplication(app, spec);
  }
  static void ownBy(const std::filesystem::path& path, uid_t user) {
    ASSERT_EQ(::lchown(path.c_str(), user, static_cast<gid_t>(-1)), 0);
    if (std::filesystem::is_directory(std::filesystem::symlink_status(path))) {
      for (const auto& item : std::filesystem::recursive_directory_iterator(path)) {
        ASSERT_EQ(::lchown(item.path().c_str(), user, static_cast<gid_t>(-1)), 0);
      }
    }
  }
  ResolvedDestination resolve(const std::filesystem::path& source) {
    return InstallationSecurity::resolveDestination(source, candidate_, "1.1.0", "x64",
                                                    team_.team(), locations_);
  }

  TemporaryDirectory tree_;
  test::TestTeam team_;
  std::string key_ = test::TestTeam().key().publicKeyText();
  std::shared_ptr<FakeVolumes> volumes_ = std::make_shared<FakeVolumes>();
  UpdateLocations locations_;
  std::filesystem::path home_;
  std::filesystem::path system_ = tree_.path() / "opt/Applications/Orlith.app";
  std::filesystem::path candidate_;
};

TEST_F(DestinationSafetyTest, PrivateRootNeedsItsPrefixOwnerAndNoForeignWrite) {
  const auto tmp = tree_.path() / "tmp";
  std::filesystem::create_directories(tmp / "linked");
  std::filesystem::create_directory_symlink(tmp / "linked", tmp / "via");
  struct Case {
    std::string name;
    mode_t mode;
    uid_t owner;
    bool passes;
  };
  const std::vector<Case> cases = {
      {"OrlithUpdate-a", 0700, kUser, true},      {"OrlithUpdate-b", 0750, kUser, true},
      {"OrlithUpdate-c", 0720, kUser, false},     {"OrlithUpdate-d", 0702, kUser, false},
      {"OrlithUpdate-e", 0700, 65534, false},     {"Other-f", 0700, kUser, false},
      {"via/OrlithUpdate-g", 0700, kUser, false},
  };
  for (const Case& c : cases) {
    const auto root = tmp / c.name;
    std::filesystem::create_directories(root);
    ::chmod(root.c_str(), c.mode);
    ownBy(root, c.owner);
    EXPECT_EQ(outcomeOf([&] {
                InstallationSecurity::validatePrivateRoot(root, locations_);
              }).message.empty(),
              c.passes)
        << c.name;
  }
}

TEST_F(DestinationSafetyTest, SystemFolderGroupWriteNeedsTheAdminGroup) {
  for (const auto& [group, passes] : {std::pair{gid_t{27}, true}, std::pair{gid_t{20}, false}}) {
    ASSERT_EQ(::chown(system_.parent_path().c_str(), 0, group), 0);
    ::chmod(system_.parent_path().c_str(), 0775);
    const Outcome outcome = outcomeOf([&] {
      InstallationSecurity::validateApplicationsParent(system_, WritableCheck::readOnly,
                                                       locations_);
    });
    EXPECT_EQ(outcome.message.empty(), passes) << group;
    if (!passes) {
      EXPECT_EQ(outcome.message, "The Applications folder is not a safe installation location.");
      EXPECT_TRUE(outcome.manual);
    }
  }
}

// The updater runs as the user, so the copy it put into the system folder belongs to the user;
// when that user is in the admin group the next update must still find it acceptable.
TEST_F(DestinationSafetyTest, SystemFolderAppOfAnAdminGroupUserCanBeUpdatedAgain) {
  ASSERT_EQ(::chown(system_.parent_path().c_str(), 0, 27), 0);
  ::chmod(system_.parent_path().c_str(), 0775);
  makeApp(system_, "1.0.0");
  const struct {
    const char* name;
    uid_t owner;
    std::set<gid_t> userGroups;
    bool passes;
  } cases[] = {
      {"root's copy", 0, {}, true},
      {"the admin user's own copy", kUser, {27}, true},
      {"the copy of a user outside the admin group", kUser, {20}, false},
      {"another user's copy", 65534, {27}, false},
  };
  for (const auto& c : cases) {
    ownBy(system_, c.owner);
    locations_.users =
        std::make_shared<test::FakeUserDatabase>(kUser, home_.string(), c.userGroups);
    const Outcome outcome = outcomeOf([&] {
      InstallationSecurity::validateDestination(system_, team_.team(), WritableCheck::readOnly,
                                                locations_);
    });
    if (c.passes) {
      EXPECT_EQ(outcome.message, "") << c.name;
    } else {
      EXPECT_EQ(outcome.message,
                "Install this update manually: the existing application has an unsupported owner.")
          << c.name;
    }
  }
}

TEST_F(DestinationSafetyTest, ReadOnlyOrUnknownVolumeIsNotWritable) {
  for (const auto& [readOnly, swap] :
       {std::pair{true, VolumeSupport::supported}, std::pair{false, VolumeSupport::unknown}}) {
    volumes_->readOnly = readOnly;
    volumes_->swap = swap;
    const Outcome outcome = outcomeOf([&] {
      InstallationSecurity::validateApplicationsParent(system_, WritableCheck::writable,
                                                       locations_);
    });
    EXPECT_EQ(outcome.message,
              "Install this update manually: your Applications folder is not writable.");
    EXPECT_TRUE(outcome.manual);
  }
}

TEST_F(DestinationSafetyTest, DownloadsSourceInstallsIntoTheWritableSystemFolder) {
  const auto result = resolve(home_ / "Downloads/Orlith.app");
  EXPECT_EQ(result.target, system_);
  EXPECT_EQ(result.operation, UpdateInstallOperation::install);
  EXPECT_FALSE(result.targetIdentity);
  EXPECT_EQ(result.parentIdentity, InstallationSecurity::directoryIdentity(system_.parent_path()));
}

// The check runs in a child that is really the test user, so access() answers for that user.
Outcome asUser(uid_t user, const std::function<void()>& check) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) {
    return {"pipe failed"};
  }
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    std::string message = "setresuid failed";
    if (::setresgid(user, user, user) == 0 && ::setresuid(user, user, user) == 0) {
      const Outcome outcome = outcomeOf(check);
      message = outcome.message;
    }
    [[maybe_unused]] const auto written = ::write(pipeFds[1], message.data(), message.size());
    ::_exit(0);
  }
  ::close(pipeFds[1]);
  std::string message;
  char buffer[512];
  for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    message.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  ::waitpid(child, nullptr, 0);
  return {message};
}

TEST_F(DestinationSafetyTest, UnwritableSystemFolderMakesTheUserFolderWithMode0755) {
  ::chmod(tree_.path().c_str(), 0755);
  ::chmod((tree_.path() / "tmp").c_str(), 0755);
  const mode_t previous = ::umask(077);
  const Outcome outcome = asUser(kUser, [&] {
    const auto result = resolve(home_ / "Downloads/Orlith.app");
    if (result.target != home_ / "Applications/Orlith.app" ||
        result.operation != UpdateInstallOperation::install) {
      throw UpdateFailure("wrong destination " + result.target.string());
    }
  });
  ::umask(previous);
  EXPECT_EQ(outcome.message, "");
  struct stat info {};
  ASSERT_EQ(::lstat((home_ / "Applications").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_EQ(info.st_uid, kUser);
}

TEST_F(DestinationSafetyTest, InstalledCopyDecidesTheOperation) {
  struct Case {
    const char* name;
    std::function<void(const std::filesystem::path& system)> install;
    std::optional<UpdateInstallOperation> operation;
    std::string version;
    std::string failure;
  };
  const std::vector<Case> cases = {
      {"same version", [&](const auto& at) { makeApp(at, "1.1.0"); },
       UpdateInstallOperation::openExisting, "1.1.0", ""},
      {"newer installed", [&](const auto& at) { makeApp(at, "1.2.0"); },
       UpdateInstallOperation::openExisting, "1.2.0", ""},
      {"older installed", [&](const auto& at) { makeApp(at, "1.0.0"); },
       UpdateInstallOperation::replace, "1.1.0", ""},
      {"unparsable version", [&](const auto& at) { makeApp(at, "1.0"); }, std::nullopt, "",
       "The installed application has an invalid version."},
      {"a file", [](const auto& at) { test::writeFile(at, "not an app"); }, std::nullopt, "",
       "Install this update manually: the existing application has an unsupported owner."},
      {"a dangling link",
       [](const auto& at) { std::filesystem::create_symlink("/nonexistent", at); }, std::nullopt,
       "", "Install Orlith manually in a standard Applications folder."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(system_);
    c.install(system_);
    try {
      const auto result = resolve(home_ / "Downloads/Orlith.app");
      EXPECT_EQ(result.target, system_) << c.name;
      EXPECT_EQ(result.operation, c.operation) << c.name;
      EXPECT_EQ(result.version, c.version) << c.name;
      EXPECT_EQ(result.targetIdentity, InstallationSecurity::directoryIdentity(system_)) << c.name;
    } catch (const UpdateFailure& failure) {
      EXPECT_EQ(failure.message(), c.failure) << c.name;
    }
  }
}

TEST_F(DestinationSafetyTest, PlanRecheckNoticesARecreatedFolderAndANewCopy) {
  const auto result = resolve(home_ / "Downloads/Orlith.app");
  UpdateInstallPlan plan;
  plan.target = result.target;
  plan.parentIdentity = result.parentIdentity;
  plan.operation = result.operation;
  EXPECT_NO_THROW(InstallationSecurity::validatePlanDestination(plan, team_.team(), locations_));

  makeApp(system_, "1.0.0");
  EXPECT_EQ(outcomeOf([&] {
              InstallationSecurity::validatePlanDestination(plan, team_.team(), locations_);
            }).message,
            "Another installer created the application. Please try again.");

  // Moved aside rather than deleted, so the new folder cannot reuse the old inode number.
  std::filesystem::rename(system_.parent_path(), tree_.path() / "opt/Applications.old");
  std::filesystem::create_directories(system_.parent_path());
  ::chmod(system_.parent_path().c_str(), 0755);
  EXPECT_EQ(outcomeOf([&] {
              InstallationSecurity::validatePlanDestination(plan, team_.team(), locations_);
            }).message,
            "The Applications folder changed during installation.");
}

}  // namespace
}  // namespace orlith
