// The whole update road on real processes and real file trees: a stand-in app bundle with the
// real service and updater inside, all sealed with fresh keys, in a private test tree that
// stands in for the Applications folders, the temporary folder and the home. Run as root, the
// processes drop to an unprivileged test user, because root has no user Applications folder.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <thread>

#include "BundleSealer.h"
#include "SealingKey.h"
#include "base/Json.h"
#include "base/Sha256.h"
#include "support/StandinProcess.h"
#include "unit/update/SealedBundles.h"
#include "unit/update/ZipFixture.h"
#include "update/trust/AppLauncher.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateInstallerChannel.h"
#include "update/trust/UpdateWire.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

// Unprivileged and this run's own: nothing else runs as it, so the check for another running copy
// and the final sweep of its processes see this test's processes only.
constexpr gid_t kAdminGroup = 27;  // "sudo", as the test tree's user database names it
const uid_t kTestUser = static_cast<uid_t>(2'000'000 + ::getpid());

struct Launch {
  std::string version;
  pid_t pid = 0;
  std::filesystem::path bundle;
};

bool waitFor(const std::function<bool()>& condition, std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (condition()) {
      return true;
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    std::this_thread::sleep_for(50ms);
  }
  return condition();
}

class UpdateRoadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user_ = ::geteuid() == 0 ? kTestUser : ::geteuid();
    char pattern[] = "/tmp/orlith-road-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    tree_ = pattern;
    home_ = tree_ / "home";
    release_ = tree_ / "release";
    applications_ = home_ / "Applications";
    ::chmod(tree_.c_str(), 0755);
    test::writeFile(tree_ / "orlith-update-test-tree", "");
    std::filesystem::create_directories(tree_ / "tmp");
    std::filesystem::create_directories(home_ / "Downloads");
    std::filesystem::create_directories(release_);
    test::writeFile(home_ / "launches.log", "");
    test::writeFile(home_ / "results.log", "");
  }

  void TearDown() override {
    standin_.reset();
    for (const Launch& launch : launches()) {
      ::kill(launch.pid, SIGKILL);
    }
    if (::geteuid() == 0) {
      // Every process left of the test user, and only those.
      const pid_t killer = ::fork();
      if (killer == 0) {
        if (::setresgid(kTestUser, kTestUser, kTestUser) == 0 &&
            ::setresuid(kTestUser, kTestUser, kTestUser) == 0) {
          ::kill(-1, SIGKILL);
        }
        ::_exit(0);
      }
      ::waitpid(killer, nullptr, 0);
    }
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    std::error_code ignored;
    std::filesystem::remove_all(tree_, ignored);
  }

  // The nested service and updater are sealed by the test's team; the app by `appTeam` if given.
  void makeApp(const std::filesystem::path& app, const std::string& version,
               const test::TestTeam* appTeam = nullptr,
               const char* program = ORLITH_TEST_APP_PATH) {
    const std::string key = manifestKey_.publicKeyText();
    test::BundleSpec spec;
    spec.version = version;
    spec.pinnedKey = key;
    spec.program = test::readFile(program);
    test::makeBundle(app, spec);
    const auto installer = app / "Contents/XPCServices/OrlithUpdateInstaller.xpc";
    const auto updater = app / "Contents/Helpers/OrlithUpdater.app";
    auto service = test::helperSpec(std::string(update_wire::kServiceIdentifier),
                                    "OrlithUpdateInstaller", key);
    service.program = test::readFile(ORLITH_TEST_INSTALLER_PATH);
    auto helper =
        test::helperSpec(std::string(update_wire::kHelperIdentifier), "OrlithUpdater", key);
    helper.program = test::readFile(ORLITH_TEST_UPDATER_PATH);
    test::makeBundle(installer, service);
    test::makeBundle(updater, helper);
    team_.seal(installer);
    team_.seal(updater);
    const test::TestTeam& outer = appTeam ? *appTeam : team_;
    outer.seal(app, test::applicationEntitlements(outer.id()));
  }

  // The sealed 1.1.0 zipped, and its manifest signed for the compiled-in host.
  void makeRelease(const std::string& version = "1.1.0",
                   const std::string& downloadBase = "https://127.0.0.1/updates/") {
    const auto staging = release_ / "staging" / "Orlith.app";
    std::filesystem::remove_all(staging);
    makeApp(staging, version);
    const auto zip = release_ / ("Orlith-" + version + ".zip");
    test::writeArchive(zip, test::entriesOf(staging));
    const Json inner{{"ok", true},
                     {"version", version},
                     {"downloadUrl", downloadBase + "Orlith-" + version + ".zip"},
                     {"sha256", sha256Hex(test::readFile(zip))},
                     {"platform", std::string(update_wire::kPlatform)},
                     {"arch", std::string(update_wire::kOwnArchitecture)}};
    test::writeFile(release_ / "manifest.json",
                    BundleSealer::signManifest(inner.dump(), manifestKey_));
    control_["package"] = zip.string();
    control_["manifest"] = (release_ / "manifest.json").string();
  }

  // Writes the control file, hands the tree to the test user and starts the app.
  pid_t start(const std::filesystem::path& app, const Json& modes,
              const std::vector<std::string>& extraEnvironment = {}) {
    Json control = control_;
    control.update(modes);
    test::writeFile(home_ / "control.json", control.dump());
    if (::geteuid() == 0) {
      for (const auto& item : std::filesystem::recursive_directory_iterator(tree_)) {
        ::lchown(item.path().c_str(), kTestUser, kTestUser);
      }
      ::lchown(tree_.c_str(), kTestUser, kTestUser);
      if (adminSystemFolder_) {
        // The system folder stays root's, writable by the admin group the test user is in.
        ::lchown(adminSystemFolder_->c_str(), 0, kAdminGroup);
        ::chmod(adminSystemFolder_->c_str(), 0775);
        for (const auto& item : std::filesystem::directory_iterator(*adminSystemFolder_)) {
          if (rootOwned_.contains(item.path())) {
            ::lchown(item.path().c_str(), 0, 0);
            for (const auto& inner : std::filesystem::recursive_directory_iterator(item.path())) {
              ::lchown(inner.path().c_str(), 0, 0);
            }
          }
        }
      }
    }
    const std::string program = (app / "Contents/MacOS/Orlith").string();
    const pid_t child = ::fork();
    if (child == 0) {
      if (::geteuid() == 0 && (::setgroups(adminSystemFolder_ ? 1 : 0, &kAdminGroup) != 0 ||
                               ::setresgid(kTestUser, kTestUser, kTestUser) != 0 ||
                               ::setresuid(kTestUser, kTestUser, kTestUser) != 0)) {
        ::_exit(120);
      }
      for (const std::string& entry : extraEnvironment) {
        ::putenv(const_cast<char*>(entry.c_str()));
      }
      ::execl(program.c_str(), program.c_str(), nullptr);
      ::_exit(127);
    }
    return child;
  }

  std::vector<Launch> launches() const {
    std::vector<Launch> found;
    std::istringstream log(test::readFile(home_ / "launches.log"));
    Launch launch;
    std::string bundle;
    while (log >> launch.version >> launch.pid >> bundle) {
      launch.bundle = bundle;
      found.push_back(launch);
    }
    return found;
  }

  std::vector<Json> results() const {
    std::vector<Json> found;
    std::istringstream log(test::readFile(home_ / "results.log"));
    for (std::string line; std::getline(log, line);) {
      found.push_back(Json::parse(line));
    }
    return found;
  }

  std::vector<std::string> namesIn(const std::filesystem::path& folder) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string versionAt(const std::filesystem::path& app) const {
    const std::string plist = test::readFile(app / "Contents/Info.plist");
    const std::string key = "<key>CFBundleShortVersionString</key><string>";
    const std::size_t at = plist.find(key);
    return at == std::string::npos
               ? ""
               : plist.substr(at + key.size(), plist.find('<', at + key.size()) - at - key.size());
  }

  bool workFoldersEmpty() const { return namesIn(tree_ / "tmp").empty(); }

  static std::string standinOrigin() {
    return "https://127.0.0.1:" + std::to_string(ORLITH_STANDIN_PORT);
  }

  // The stand-in at the build's origin serving the release, for the coordinator app's road;
  // false, with the reason reported, when it cannot serve there.
  bool serveRelease() {
    std::filesystem::copy_file(std::string(ORLITH_DEV_DIR) + "/ca.pem", home_ / "ca.pem",
                               std::filesystem::copy_options::overwrite_existing);
    control_["origin"] = standinOrigin();
    try {
      standin_ = std::make_unique<testing::StandinProcess>(
          ORLITH_STANDIN_PATH, ORLITH_DEV_DIR, 15s,
          std::vector<std::string>{"--release", release_.string(), "--port",
                                   std::to_string(ORLITH_STANDIN_PORT)});
      return true;
    } catch (const std::exception& error) {
      ADD_FAILURE() << "the stand-in cannot serve the build's origin " << standinOrigin() << ": "
                    << error.what();
      return false;
    }
  }

  // Every file below `folder`, with its content.
  std::map<std::string, std::string> filesBelow(const std::filesystem::path& folder) const {
    std::map<std::string, std::string> files;
    for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
      if (item.is_regular_file()) {
        files[std::filesystem::relative(item.path(), folder).string()] =
            test::readFile(item.path());
      }
    }
    return files;
  }

  // Running processes of the test tree whose program is the named one of a bundle.
  std::vector<pid_t> runningPrograms(const std::string& executable) const {
    std::vector<pid_t> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
      const std::string name = entry.path().filename().string();
      if (name.find_first_not_of("0123456789") != std::string::npos) {
        continue;
      }
      std::error_code unreadable;
      const auto exe = std::filesystem::read_symlink(entry.path() / "exe", unreadable).string();
      if (!unreadable && exe.starts_with(tree_.string() + "/") &&
          exe.ends_with("/Contents/MacOS/" + executable)) {
        found.push_back(static_cast<pid_t>(std::stol(name)));
      }
    }
    return found;
  }

  std::size_t launchesOf(const std::string& version, const std::filesystem::path& bundle) const {
    std::size_t count = 0;
    for (const Launch& launch : launches()) {
      count += launch.version == version && launch.bundle == bundle ? 1 : 0;
    }
    return count;
  }

  // No app, service or updater of the test tree runs any more.
  bool treeIsQuiet() const {
    return runningPrograms("Orlith").empty() && runningPrograms("OrlithUpdateInstaller").empty() &&
           runningPrograms("OrlithUpdater").empty();
  }

  uid_t user_ = 0;
  // A system Applications folder of root and the admin group, with the test user in that group.
  std::optional<std::filesystem::path> adminSystemFolder_;
  std::set<std::filesystem::path> rootOwned_;
  std::filesystem::path tree_;
  std::filesystem::path home_;
  std::filesystem::path release_;
  std::filesystem::path applications_;
  test::TestTeam team_;
  SealingKey manifestKey_ = SealingKey::generate();
  Json control_ = Json::object();
  std::unique_ptr<testing::StandinProcess> standin_;
};

TEST_F(UpdateRoadTest, ReplaceSwapsRelaunchesAndKeepsThePreviousCopyWithNoInheritedEnvironment) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  std::vector<std::string> injected{"LD_PRELOAD=/lib/x86_64-linux-gnu/libm.so.6",
                                    "ORLITH_ROAD_MARKER=1"};
#if defined(__SANITIZE_ADDRESS__)
  // The sanitizer runtime refuses a preload ahead of it in the first program only.
  injected.push_back("ASAN_OPTIONS=verify_asan_link_order=0");
#endif
  start(app, {{"1.0.0", {"update"}}, {"1.1.0", {"stay"}}}, injected);

  ASSERT_TRUE(waitFor([&] { return launchesOf("1.1.0", app) == 1 && workFoldersEmpty(); }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), "1.1.0");
  const auto names = namesIn(applications_);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[1], "Orlith.app");
  EXPECT_TRUE(names[0].starts_with(".Orlith-previous-")) << names[0];
  EXPECT_EQ(versionAt(applications_ / names[0]), "1.0.0");
  const auto replies = results();
  ASSERT_EQ(replies.size(), 2u);
  EXPECT_EQ(replies[1]["ok"], true) << replies[1].dump();

  const std::string inherited = test::readFile(home_ / "environment-1.1.0-0.txt");
  EXPECT_EQ(inherited.find("LD_PRELOAD"), std::string::npos);
  EXPECT_EQ(inherited.find("ORLITH_ROAD_MARKER"), std::string::npos);
  EXPECT_NE(inherited.find("PATH=/usr/local/bin:/usr/bin:/bin\n"), std::string::npos);
}

// The app's own road: its coordinator checks the stand-in at the build's origin, downloads the
// signed release, has the real service prepare it, installs it and quits.
TEST_F(UpdateRoadTest, CoordinatorChecksDownloadsPreparesAndInstallsFromTheStandin) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0", nullptr, ORLITH_TEST_COORDINATOR_APP_PATH);
  makeRelease("1.1.0", standinOrigin() + "/downloads/");
  ASSERT_TRUE(serveRelease());
  start(app, {{"1.1.0", {"stay"}}});

  ASSERT_TRUE(waitFor([&] { return launchesOf("1.1.0", app) == 1 && workFoldersEmpty(); }, 120s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), "1.1.0");
  const auto names = namesIn(applications_);
  ASSERT_EQ(names.size(), 2u);
  EXPECT_TRUE(names[0].starts_with(".Orlith-previous-")) << names[0];
  EXPECT_EQ(versionAt(applications_ / names[0]), "1.0.0");
  std::vector<std::string> steps;
  for (const Json& line : results()) {
    const std::string step = line["step"];
    if (steps.empty() || steps.back() != step)
      steps.push_back(step);
  }
  EXPECT_EQ(steps, (std::vector<std::string>{"checking", "downloading", "verifying", "ready",
                                             "restarting", "terminate"}))
      << test::readFile(home_ / "results.log");
  // The package stays in its folder of the caches.
  EXPECT_EQ(namesIn(home_ / "cache/OrlithUpdates").size(), 1u);
}

// The packages folder and the work-root folder are the update road's own only as real private
// folders. Either one a link to a folder of the person's files: the launch and the update
// attempt fail clearly and leave every file there, even those named as the road names its own.
// Put right, the next launch installs.
TEST_F(UpdateRoadTest, FoldersThatAreLinksAreRefusedWithEveryFileLeftAndPutRightTheUpdateInstalls) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0", nullptr, ORLITH_TEST_COORDINATOR_APP_PATH);
  makeRelease("1.1.0", standinOrigin() + "/downloads/");
  ASSERT_TRUE(serveRelease());
  const auto documents = home_ / "Documents";
  test::writeFile(documents / "notes.txt", "notes");
  test::writeFile(documents / "00000000-0000-4000-8000-00000000000A/Orlith-1.0.0.zip", "mine");
  test::writeFile(documents / "OrlithUpdate-00000000-0000-4000-8000-00000000000B/InstallPlan.json",
                  "mine too");
  const auto before = filesBelow(documents);
  const auto packages = home_ / "cache/OrlithUpdates";
  const auto work = tree_ / "tmp";
  std::filesystem::create_directories(packages.parent_path());
  std::filesystem::remove(work);

  struct Case {
    const char* name;
    std::filesystem::path link;
    std::filesystem::path real;
    const char* error;
  };
  const Case cases[] = {
      {"packages folder", packages, work, "The folder for update downloads is not private: "},
      {"work-root folder", work, packages, "The updater handoff is not private."},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(c.link);
    std::filesystem::create_directory_symlink(documents, c.link);
    std::filesystem::create_directories(c.real);
    test::writeFile(home_ / "results.log", "");
    const pid_t child = start(app, Json::object());
    ASSERT_TRUE(
        waitFor([&] { return !results().empty() && results().back()["step"] == "failed"; }, 120s))
        << c.name << ": " << test::readFile(home_ / "results.log");
    const std::string error = results().back()["error"];
    EXPECT_TRUE(error.starts_with(c.error)) << c.name << ": " << error;
    ::waitpid(child, nullptr, 0);
    ASSERT_TRUE(waitFor([&] { return treeIsQuiet(); }, 30s)) << c.name;
    EXPECT_EQ(filesBelow(documents), before) << c.name;
    EXPECT_EQ(versionAt(app), "1.0.0") << c.name;
    std::filesystem::remove(c.link);
  }

  std::filesystem::create_directories(packages);
  std::filesystem::create_directories(work);
  start(app, {{"1.1.0", {"stay"}}});
  ASSERT_TRUE(waitFor([&] { return launchesOf("1.1.0", app) == 1 && workFoldersEmpty(); }, 120s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), "1.1.0");
  EXPECT_EQ(filesBelow(documents), before);
}

// The app's installer client against the real service, which the test stops in the middle of
// a call and then kills: that call is interrupted, and the later ones are refused at once.
TEST_F(UpdateRoadTest, InstallerClientTellsALostServiceFromAnAnswer) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0", nullptr, ORLITH_TEST_COORDINATOR_APP_PATH);
  control_["origin"] = "https://127.0.0.1:1";
  control_["mode"] = "client";
  const pid_t child = start(app, Json::object());
  ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 60s));
  // Answered, whatever the service makes of an unknown token.
  EXPECT_TRUE(results()[0]["outcome"].get<std::string>().starts_with("answer "))
      << results()[0].dump();
  const auto service = runningPrograms("OrlithUpdateInstaller");
  ASSERT_EQ(service.size(), 1u);
  ::kill(service[0], SIGSTOP);
  test::writeFile(home_ / "go", "");
  ASSERT_TRUE(waitFor([&] { return results().size() == 2; }, 30s));
  std::this_thread::sleep_for(500ms);
  ::kill(service[0], SIGKILL);
  ::waitpid(child, nullptr, 0);
  const auto replies = results();
  ASSERT_EQ(replies.size(), 6u) << test::readFile(home_ / "results.log");
  EXPECT_EQ(replies[2]["outcome"], "The update installer was interrupted. Please try again.");
  EXPECT_EQ(replies[3]["outcome"], "The update installer is unavailable.");
  EXPECT_EQ(replies[4]["outcome"], "The update installer disconnected. Please check again.");
  EXPECT_EQ(replies[5]["outcome"], "answer true");
}

// A service bundle sealed by another team breaks the app's own seal, which covers its nested
// bundles: the client is refused before any process is started.
TEST_F(UpdateRoadTest, InstallerClientWithAServiceOfAnotherTeamIsRefusedBeforeAnyProcessStarts) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0", nullptr, ORLITH_TEST_COORDINATOR_APP_PATH);
  const test::TestTeam other;
  other.seal(app / "Contents/XPCServices/OrlithUpdateInstaller.xpc");
  team_.seal(app, test::applicationEntitlements(team_.id()));
  control_["origin"] = "https://127.0.0.1:1";
  control_["mode"] = "client";
  control_["first"] = "prepare";
  const pid_t child = start(app, Json::object());
  ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 60s));
  EXPECT_EQ(results()[0]["step"], "connect");
  EXPECT_EQ(results()[0]["outcome"], "The signed update installer is unavailable in this build.");
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(runningPrograms("OrlithUpdateInstaller").empty());
}

// The updater runs as the user, so the copy it swaps into the system folder is the user's; an
// admin user's second update of it must install as the first did.
TEST_F(UpdateRoadTest, TwoUpdatesInARowInstallIntoAnAdminGroupSystemFolder) {
  if (::geteuid() != 0) {
    GTEST_SKIP() << "a root-owned system folder needs root";
  }
  const auto system = tree_ / "opt/Applications";
  std::filesystem::create_directories(system);
  test::writeFile(tree_ / "orlith-update-test-admin", "");
  adminSystemFolder_ = system;
  const auto app = system / "Orlith.app";
  makeApp(app, "1.0.0");
  rootOwned_.insert(app);
  makeRelease("1.1.0");
  start(app, {{"1.0.0", {"update"}}, {"1.1.0", {"stay", "update"}}, {"1.2.0", {"stay"}}});
  ASSERT_TRUE(waitFor([&] { return launchesOf("1.1.0", app) == 1 && workFoldersEmpty(); }, 60s))
      << test::readFile(home_ / "results.log");
  struct stat owner {};
  ASSERT_EQ(::lstat(app.c_str(), &owner), 0);
  EXPECT_EQ(owner.st_uid, kTestUser) << "the updater's copy is the user's";

  rootOwned_.clear();
  makeRelease("1.2.0");
  ASSERT_TRUE(waitFor([&] { return runningPrograms("Orlith").empty(); }, 30s));
  start(app, {{"1.0.0", {"update"}}, {"1.1.0", {"stay", "update"}}, {"1.2.0", {"stay"}}});
  ASSERT_TRUE(waitFor([&] { return launchesOf("1.2.0", app) == 1 && workFoldersEmpty(); }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), "1.2.0");
}

TEST_F(UpdateRoadTest, FirstInstallationCopiesTheRunningAppIntoAnEmptyUserApplicationsFolder) {
  const auto downloaded = home_ / "Downloads/Orlith.app";
  makeApp(downloaded, "1.0.0");
  start(downloaded, {{"1.0.0", {"first", "stay"}}});

  const auto installed = applications_ / "Orlith.app";
  ASSERT_TRUE(
      waitFor([&] { return launchesOf("1.0.0", installed) == 1 && workFoldersEmpty(); }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(namesIn(applications_), std::vector<std::string>{"Orlith.app"});
  EXPECT_EQ(versionAt(installed), "1.0.0");
}

TEST_F(UpdateRoadTest, CancelLeavesTheTargetUntouchedAndNoWorkFolder) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  const pid_t child = start(app, {{"1.0.0", {"cancel"}}});

  ASSERT_TRUE(waitFor([&] { return results().size() == 2; }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(results()[1]["ok"], true);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(waitFor([&] { return workFoldersEmpty(); }, 10s));
  EXPECT_EQ(namesIn(applications_), std::vector<std::string>{"Orlith.app"});
  EXPECT_EQ(versionAt(app), "1.0.0");
  EXPECT_EQ(launches().size(), 1u);
}

TEST_F(UpdateRoadTest, AppKilledAfterPrepareLeavesNoWorkFolder) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  const pid_t child = start(app, {{"1.0.0", {"prepare-and-wait"}}});

  ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 60s));
  ASSERT_TRUE(results()[0]["token"].is_string()) << results()[0].dump();
  EXPECT_FALSE(workFoldersEmpty());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(waitFor([&] { return workFoldersEmpty(); }, 10s));
  EXPECT_EQ(versionAt(app), "1.0.0");
}

TEST_F(UpdateRoadTest, NewCopyThatDoesNotStartIsSwappedBackAndThePreviousRelaunched) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  start(app, {{"1.0.0", {"update", "stay"}}, {"1.1.0", {"exit"}}});

  ASSERT_TRUE(waitFor([&] { return launchesOf("1.0.0", app) == 2 && workFoldersEmpty(); }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(launchesOf("1.1.0", app), 1u);
  EXPECT_EQ(versionAt(app), "1.0.0");
  EXPECT_EQ(namesIn(applications_), std::vector<std::string>{"Orlith.app"});
}

enum class KillPoint { beforePrepared, waitingForExit, launching };

struct KillCase {
  const char* name;
  KillPoint point;
  const char* versionLeft;  // at the target once everything has ended
  bool workRootLeft;        // only an updater that owned the update leaves its work root
};

void PrintTo(const KillCase& c, std::ostream* out) {
  *out << c.name;
}

class UpdaterKilledTest : public UpdateRoadTest, public ::testing::WithParamInterface<KillCase> {};

TEST_P(UpdaterKilledTest, LeavesAWorkingAppAndTheNextUpdateRuns) {
  const KillCase& c = GetParam();
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  // The n-th launch of a version runs its n-th mode, over both rounds.
  const Json modes{
      {"1.0.0", {"update-linger", "update"}}, {"1.1.0", {"stay", "update"}}, {"1.2.0", {"stay"}}};
  const pid_t child = start(app, modes);

  std::function<bool()> reached;
  switch (c.point) {
    case KillPoint::beforePrepared:
      reached = [] { return true; };
      break;
    case KillPoint::waitingForExit:
      // The install was answered, and the app still runs for a while.
      reached = [&] { return results().size() == 2; };
      break;
    case KillPoint::launching:
      // The new copy is in place and started; the updater waits for it to settle.
      reached = [&] { return launchesOf("1.1.0", app) == 1; };
      break;
  }
  std::vector<pid_t> updater;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline) {
    if (reached() && !(updater = runningPrograms("OrlithUpdater")).empty()) {
      break;
    }
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(updater.size(), 1u) << test::readFile(home_ / "results.log");
  ASSERT_TRUE(reached());
  ::kill(updater[0], SIGKILL);

  ::waitpid(child, nullptr, 0);
  // A new copy the killed updater had started need not run out its time.
  for (const Launch& launch : launches()) {
    ::kill(launch.pid, SIGKILL);
  }
  ASSERT_TRUE(waitFor([&] { return treeIsQuiet(); }, 30s));
  EXPECT_EQ(versionAt(app), c.versionLeft);
  EXPECT_NO_THROW(
      InstallationSecurity::validateCode(app, update_wire::kApplicationIdentifier, team_.team()));
  EXPECT_EQ(!workFoldersEmpty(), c.workRootLeft) << namesIn(tree_ / "tmp").size();
  if (c.point == KillPoint::beforePrepared) {
    // Killed in its first second it counts as never launched, later as never prepared.
    ASSERT_EQ(results().size(), 2u);
    EXPECT_EQ(results()[1]["ok"], false) << results()[1].dump();
  }

  // The next update runs over whatever the killed one left.
  const std::string next = c.versionLeft == std::string("1.0.0") ? "1.1.0" : "1.2.0";
  if (next == "1.2.0") {
    makeRelease(next);
  }
  start(app, modes);
  ASSERT_TRUE(waitFor([&] { return launchesOf(next, app) == 1; }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), next);
  for (const std::string& name : namesIn(applications_)) {
    EXPECT_TRUE(name == "Orlith.app" || name.starts_with(".Orlith-")) << name;
  }
  // The killed updater's root went with the next service's start; the next road's own with its
  // updater.
  EXPECT_TRUE(waitFor([&] { return workFoldersEmpty(); }, 30s)) << namesIn(tree_ / "tmp").size();
}

INSTANTIATE_TEST_SUITE_P(
    Phases, UpdaterKilledTest,
    ::testing::Values(KillCase{"BeforePrepared", KillPoint::beforePrepared, "1.0.0", false},
                      KillCase{"WaitingForExit", KillPoint::waitingForExit, "1.0.0", false},
                      KillCase{"Launching", KillPoint::launching, "1.1.0", true}),
    [](const auto& info) { return std::string(info.param.name); });

enum class ServiceKillPoint { afterPrepare, updaterStarting };

struct ServiceKillCase {
  const char* name;
  ServiceKillPoint point;
};

void PrintTo(const ServiceKillCase& c, std::ostream* out) {
  *out << c.name;
}

class ServiceKilledTest : public UpdateRoadTest,
                          public ::testing::WithParamInterface<ServiceKillCase> {};

// A service killed with its work root, alone or with the updater it had just started: nothing
// is left to remove the root but the next service, which does.
TEST_P(ServiceKilledTest, LeavesAWorkRootThatTheNextRoadRemoves) {
  const ServiceKillCase& c = GetParam();
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  const bool prepared = c.point == ServiceKillPoint::afterPrepare;
  const Json modes{{"1.0.0", {prepared ? "prepare-and-wait" : "update", "update"}},
                   {"1.1.0", {"stay"}}};
  const pid_t child = start(app, modes);
  std::vector<pid_t> killed;
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (std::chrono::steady_clock::now() < deadline && killed.empty()) {
    if (prepared ? results().size() == 1 : !runningPrograms("OrlithUpdater").empty()) {
      killed = runningPrograms("OrlithUpdateInstaller");
      if (!prepared) {
        const auto updater = runningPrograms("OrlithUpdater");
        killed.insert(killed.end(), updater.begin(), updater.end());
      }
    }
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_FALSE(killed.empty()) << test::readFile(home_ / "results.log");
  for (const pid_t pid : killed) {
    ::kill(pid, SIGKILL);
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ASSERT_TRUE(waitFor([&] { return treeIsQuiet(); }, 30s));
  const auto left = namesIn(tree_ / "tmp");
  ASSERT_EQ(left.size(), 1u) << test::readFile(home_ / "results.log");

  start(app, modes);
  ASSERT_TRUE(waitFor([&] { return launchesOf("1.1.0", app) == 1; }, 60s))
      << test::readFile(home_ / "results.log");
  EXPECT_EQ(versionAt(app), "1.1.0");
  EXPECT_TRUE(waitFor([&] { return workFoldersEmpty(); }, 30s)) << namesIn(tree_ / "tmp").size();
}

INSTANTIATE_TEST_SUITE_P(
    Phases, ServiceKilledTest,
    ::testing::Values(ServiceKillCase{"AfterPrepare", ServiceKillPoint::afterPrepare},
                      ServiceKillCase{"WithTheStartingUpdater", ServiceKillPoint::updaterStarting}),
    [](const auto& info) { return std::string(info.param.name); });

// A second launch starts a service of its own, whose sweep must pass over the root the first
// launch's service still holds.
TEST_F(UpdateRoadTest, AWorkRootInUseSurvivesTheNextServicesSweep) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  makeRelease();
  const pid_t first = start(app, {{"1.0.0", {"prepare-and-wait", "update"}}});
  ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 60s));
  ASSERT_TRUE(results()[0]["token"].is_string()) << results()[0].dump();
  const auto held = namesIn(tree_ / "tmp");
  ASSERT_EQ(held.size(), 1u);
  const auto plan = tree_ / "tmp" / held[0] / std::string(update_wire::kPlanFileName);
  ASSERT_TRUE(std::filesystem::exists(plan));

  const pid_t second = start(app, {{"1.0.0", {"prepare-and-wait", "update"}}});
  ASSERT_TRUE(waitFor([&] { return results().size() == 2; }, 60s));
  EXPECT_EQ(results()[1]["ok"], false) << "only one copy may update at a time";
  ::waitpid(second, nullptr, 0);
  EXPECT_TRUE(std::filesystem::exists(plan));
  EXPECT_EQ(namesIn(tree_ / "tmp"), held);
  ::kill(first, SIGKILL);
  ::waitpid(first, nullptr, 0);
}

struct OtherTeamCase {
  const char* name;
  const char* teamId;  // the same identifier with another key is another team too
};

void PrintTo(const OtherTeamCase& c, std::ostream* out) {
  *out << c.name;
}

class CallerOfAnotherTeamTest : public UpdateRoadTest,
                                public ::testing::WithParamInterface<OtherTeamCase> {};

TEST_P(CallerOfAnotherTeamTest, IsClosedWithoutAReplyAndNothingIsStaged) {
  const auto app = applications_ / "Orlith.app";
  const test::TestTeam other(GetParam().teamId);
  makeApp(app, "1.0.0", &other);
  control_["serviceTeam"] = {{"id", team_.id()}, {"key", team_.key().publicKeyText()}};
  const pid_t child = start(app, {{"1.0.0", {"first"}}});

  ASSERT_TRUE(waitFor([&] { return results().size() == 1; }, 30s));
  EXPECT_EQ(results()[0]["token"], nullptr) << results()[0].dump();
  EXPECT_EQ(results()[0]["error"], nullptr) << results()[0].dump();
  ::waitpid(child, nullptr, 0);
  EXPECT_TRUE(waitFor([&] { return treeIsQuiet(); }, 10s));
  EXPECT_TRUE(workFoldersEmpty());
  EXPECT_EQ(namesIn(applications_), std::vector<std::string>{"Orlith.app"});
}

INSTANTIATE_TEST_SUITE_P(Teams, CallerOfAnotherTeamTest,
                         ::testing::Values(OtherTeamCase{"OtherIdentifier", "ZYXWV54321"},
                                           OtherTeamCase{"SameIdentifierOtherKey", "ABCDE12345"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateRoadTest, CallerThatIsNotASealedAppIsClosedWithoutAReply) {
  const auto app = applications_ / "Orlith.app";
  makeApp(app, "1.0.0");
  SystemAppLauncher launcher;
  auto channel = UpdateInstallerChannel::spawn(UpdateInstallerChannel::serviceBundleOf(app),
                                               team_.team(), launcher);
  EXPECT_EQ(channel->prepareCurrentApplication(20s), UpdatePrepareReply::unanswered());
  EXPECT_TRUE(channel->isClosed());
}

}  // namespace
}  // namespace orlith
