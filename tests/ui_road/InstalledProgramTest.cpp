// The whole update road on the real programs, as a person meets it: the test copy of the bundle
// (the app, the installer service and the updater, each knowing only the test tree it lies in)
// is installed in the tree's Applications folder or left in its Downloads folder, the stand-in
// at the build's origin publishes a release that the build sealed and signed, and the test
// follows the indicator and the panel over the accessibility bus, clicks where a person clicks,
// and waits for the new copy to come up. Nothing outside the tree is installed or replaced.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <regex>

#include "AccessibleTree.h"
#include "OrlithBuildConfig.h"
#include "ReleaseBuilder.h"
#include "SealingKey.h"
#include "base/BundleInfo.h"
#include "base/Json.h"
#include "support/StandinProcess.h"

extern char** environ;

namespace orlith {
namespace {

using namespace std::chrono_literals;
using ::testing::ElementsAre;

constexpr const char* kIndicatorName = "Check for updates";

std::string versionOf(const std::filesystem::path& bundle) {
  return BundleInfo::load(bundle).string("CFBundleShortVersionString").value_or("");
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::optional<std::filesystem::path> executableOf(pid_t pid) {
  std::error_code error;
  auto target = std::filesystem::read_symlink("/proc/" + std::to_string(pid) + "/exe", error);
  if (error)
    return std::nullopt;
  return target;
}

// The stage titles an indicator announced, each with the percentages it carried.
std::vector<std::string> stagesOf(const std::vector<std::string>& statuses) {
  static const std::regex percent(" [0-9]+%$");
  std::vector<std::string> stages;
  for (const std::string& status : statuses) {
    std::string stage = std::regex_replace(status, percent, "");
    if (stages.empty() || stages.back() != stage)
      stages.push_back(stage);
  }
  return stages;
}

// The values announced after the last `marker`, the state the road began from; all of them when
// the marker came before the test could hear it.
std::vector<std::string> after(const std::vector<std::string>& values, const std::string& marker) {
  const auto last = std::find(values.rbegin(), values.rend(), marker);
  return last == values.rend() ? values : std::vector<std::string>(last.base(), values.end());
}

std::vector<long> percentagesOf(const std::vector<std::string>& statuses) {
  static const std::regex percent("^Downloading update ([0-9]+)%$");
  std::vector<long> values;
  for (const std::string& status : statuses) {
    std::smatch match;
    if (std::regex_match(status, match, percent))
      values.push_back(std::stol(match[1]));
  }
  return values;
}

// One running copy of the app as the accessibility bus shows it.
struct RunningCopy {
  pid_t pid = 0;
  testing::Accessible application;
  // The indicator's two accessible objects: the menu button and the button inside it, which
  // takes the click.
  testing::Accessible indicator;
  testing::Accessible indicatorButton;

  bool announced(const testing::AccessibleChanges& changes, const std::string& status,
                 std::size_t from = 0) const {
    for (const std::string& value : statuses(changes, from))
      if (value == status)
        return true;
    return false;
  }
  std::vector<std::string> statuses(const testing::AccessibleChanges& changes,
                                    std::size_t from = 0) const {
    return changes.valuesOf(testing::pathOf(indicator.get()), "accessible-description", from);
  }
};

class InstalledProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::initializeAccessibility();
    char pattern[] = "/tmp/orlith-installed-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    tree_ = pattern;
    ::chmod(tree_.c_str(), 0755);
    std::ofstream(tree_ / "orlith-update-test-tree").flush();
    for (const char* folder :
         {"tmp", "home/Downloads", "release", "xdg/config", "xdg/cache", "xdg/data"})
      std::filesystem::create_directories(tree_ / folder);
    // Root has no user Applications folder: its copies go to the system one.
    applications_ = tree_ / (::geteuid() == 0 ? "opt/Applications" : "home/Applications");
    std::filesystem::create_directories(applications_);
    const std::string origin = build::kServiceOrigin;
    standin_ = std::make_unique<testing::StandinProcess>(
        ORLITH_STANDIN_PATH, ORLITH_DEV_DIR, 15s,
        std::vector<std::string>{"--port", origin.substr(origin.rfind(':') + 1), "--release",
                                 (tree_ / "release").string()});
  }

  void TearDown() override {
    changes_.reset();
    // Every copy the tree's programs started, and only those, by their process ids.
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
      const std::string name = entry.path().filename();
      if (name.find_first_not_of("0123456789") != std::string::npos)
        continue;
      const pid_t pid = std::stoi(name);
      if (const auto exe = executableOf(pid);
          exe && exe->string().starts_with(tree_.string() + "/"))
        ::kill(pid, SIGKILL);
    }
    for (pid_t child : children_)
      ::waitpid(child, nullptr, 0);
    standin_.reset();
    if (HasFailure())
      std::cerr << "The first copy's output:\n" << readText(tree_ / "app.log") << '\n';
    std::error_code ignored;
    std::filesystem::remove_all(tree_, ignored);
  }

  void copyBundle(const std::filesystem::path& to) {
    std::filesystem::copy(
        ORLITH_TREE_BUNDLE_DIR, to,
        std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
  }

  // The build's copy as its next version, sealed and signed with the build's keys. Its package
  // is served at once; its manifest only once published.
  std::string makeRelease() {
    const SealingKey teamKey = SealingKey::readPem(ORLITH_DEV_DIR "/team-signing.pem");
    const SealingKey signingKey = SealingKey::readPem(ORLITH_DEV_DIR "/update-signing.pem");
    std::string teamId = readText(ORLITH_DEV_DIR "/team-id.txt");
    teamId.erase(teamId.find_last_not_of(" \n") + 1);
    const Release release = ReleaseBuilder::build(
        {ORLITH_TREE_BUNDLE_DIR, "", teamId, teamKey,
         parseJson(readText(ORLITH_BINARY_DIR "/seal/application-entitlements.json")), signingKey,
         std::string(build::kServiceOrigin) + "/downloads/", tree_ / "made"});
    std::filesystem::rename(release.package, tree_ / "release" / release.package.filename());
    unpublishedManifest_ = release.manifest;
    return release.version;
  }

  void publishRelease() {
    std::filesystem::rename(unpublishedManifest_, tree_ / "release/manifest.json");
  }

  // Starts the copy's program as a person would, with folders of this test's own.
  pid_t start(const std::filesystem::path& bundle) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string line = *entry;
      if (!line.starts_with("XDG_CONFIG_HOME=") && !line.starts_with("XDG_CACHE_HOME=") &&
          !line.starts_with("XDG_DATA_HOME="))
        environment.push_back(line);
    }
    environment.push_back("XDG_CONFIG_HOME=" + (tree_ / "xdg/config").string());
    environment.push_back("XDG_CACHE_HOME=" + (tree_ / "xdg/cache").string());
    environment.push_back("XDG_DATA_HOME=" + (tree_ / "xdg/data").string());
    std::vector<char*> envp;
    for (std::string& line : environment)
      envp.push_back(line.data());
    envp.push_back(nullptr);
    const std::string program = (bundle / "Contents/MacOS/Orlith").string();
    const std::string log = (tree_ / "app.log").string();
    const pid_t child = ::fork();
    if (child == 0) {
      const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      ::execle(program.c_str(), program.c_str(), nullptr, envp.data());
      ::_exit(127);
    }
    children_.push_back(child);
    return child;
  }

  // Waits for the copy's window and its indicator on the accessibility bus.
  RunningCopy shown(pid_t pid) {
    RunningCopy copy;
    copy.pid = pid;
    testing::spinUntil(
        [&] {
          copy.application = testing::applicationOf(pid);
          if (copy.application)
            copy.indicatorButton =
                testing::findAccessible(copy.application.get(), testing::clickable(kIndicatorName));
          return copy.indicatorButton != nullptr;
        },
        60s);
    if (copy.indicatorButton)
      copy.indicator = testing::findAccessible(copy.application.get(), [](AtspiAccessible* item) {
        return testing::nameOf(item) == kIndicatorName;
      });
    return copy;
  }

  // The copy that the updater started from the installed bundle.
  RunningCopy relaunched(pid_t previous, const std::filesystem::path& installed) {
    pid_t found = 0;
    testing::spinUntil(
        [&] {
          for (pid_t pid : testing::accessibleProcesses()) {
            const auto exe = executableOf(pid);
            if (pid != previous && exe && *exe == installed / "Contents/MacOS/Orlith")
              found = pid;
          }
          return found != 0;
        },
        90s);
    return found != 0 ? shown(found) : RunningCopy{};
  }

  bool exited(pid_t child, std::chrono::milliseconds timeout) {
    return testing::spinUntil([&] { return ::waitpid(child, nullptr, WNOHANG) == child; }, timeout);
  }

  std::vector<std::filesystem::path> applicationsEntries() const {
    std::vector<std::filesystem::path> entries;
    for (const auto& entry : std::filesystem::directory_iterator(applications_))
      entries.push_back(entry.path().filename());
    std::sort(entries.begin(), entries.end());
    return entries;
  }

  std::filesystem::path tree_;
  std::filesystem::path applications_;
  std::unique_ptr<testing::StandinProcess> standin_;
  std::unique_ptr<testing::AccessibleChanges> changes_;
  std::filesystem::path unpublishedManifest_;
  std::vector<pid_t> children_;
};

// The panel's parts, looked up below the indicator, which owns the panel.
struct Panel {
  testing::Accessible heading;
  testing::Accessible version;
  testing::Accessible primary;
};

Panel panelOf(const RunningCopy& copy, const std::string& heading, const std::string& primary) {
  Panel panel;
  AtspiAccessible* root = copy.indicator.get();
  panel.heading = testing::findAccessible(root, testing::withRole(ATSPI_ROLE_LABEL, heading));
  panel.primary = testing::findAccessible(root, testing::clickable(primary));
  // The version stands in the header, after the brand.
  bool brandSeen = false;
  panel.version = testing::findAccessible(root, [&](AtspiAccessible* item) {
    if (testing::roleOf(item) != ATSPI_ROLE_LABEL)
      return false;
    if (brandSeen)
      return true;
    brandSeen = testing::nameOf(item) == "Orlith";
    return false;
  });
  return panel;
}

// The panel open on a failed check, with its button to try again; parts not found within 10 s
// are left empty.
Panel panelOfFailedCheck(const RunningCopy& copy) {
  Panel panel;
  testing::spinUntil(
      [&] {
        panel = panelOf(copy, "Couldn't update Orlith", "Try again");
        return panel.heading && panel.primary;
      },
      10s);
  return panel;
}

TEST_F(InstalledProgram, FindsTheNewerReleaseFollowsItInThePanelAndRestartsIntoIt) {
  const std::filesystem::path installed = applications_ / "Orlith.app";
  copyBundle(installed);
  const std::string running = versionOf(installed);
  const std::string newer = makeRelease();
  ASSERT_NE(newer, running);

  // While the panel downloads, its progress bar (in the tree only while shown), read as each
  // percentage arrives.
  std::vector<std::optional<double>> progress;
  RunningCopy copy;
  changes_ =
      std::make_unique<testing::AccessibleChanges>([&](const testing::AccessibleChange& change) {
        if (!copy.indicator || change.path != testing::pathOf(copy.indicator.get()) ||
            !change.value.starts_with("Downloading update "))
          return;
        auto bar = testing::findAccessible(copy.indicator.get(),
                                           testing::withRole(ATSPI_ROLE_PROGRESS_BAR));
        progress.push_back(bar ? testing::currentValue(bar.get()) : std::nullopt);
      });

  const pid_t first = start(installed);
  copy = shown(first);
  ASSERT_TRUE(copy.indicatorButton) << "no indicator on the accessibility bus";
  // Nothing is published yet: the check at launch ends in a failure the panel offers to retry.
  ASSERT_TRUE(testing::spinUntil(
      [&] { return testing::descriptionOf(copy.indicator.get()) == "Couldn't update Orlith"; },
      30s))
      << testing::descriptionOf(copy.indicator.get());

  ASSERT_TRUE(testing::activate(copy.indicatorButton.get()));
  const Panel panel = panelOfFailedCheck(copy);
  ASSERT_TRUE(panel.heading && panel.primary) << "the panel did not open on the failed check";
  ASSERT_TRUE(panel.version);
  EXPECT_EQ(testing::nameOf(panel.version.get()), running);

  publishRelease();
  ASSERT_TRUE(testing::activate(panel.primary.get()));
  ASSERT_TRUE(
      testing::spinUntil([&] { return copy.announced(*changes_, "Ready to update"); }, 120s))
      << ::testing::PrintToString(copy.statuses(*changes_));

  // Each stage in turn on the indicator, and the download's percentages rising to the end.
  const auto statuses = after(copy.statuses(*changes_), "Couldn't update Orlith");
  EXPECT_THAT(stagesOf(statuses), ElementsAre("Checking for updates", "Downloading update",
                                              "Verifying update", "Ready to update"));
  const auto percentages = percentagesOf(statuses);
  ASSERT_FALSE(percentages.empty());
  EXPECT_TRUE(std::is_sorted(percentages.begin(), percentages.end()));
  EXPECT_EQ(percentages.back(), 100);
  // The panel, open all along, followed the same stages in its heading and its button.
  const std::string heading = testing::pathOf(panel.heading.get());
  const std::string primary = testing::pathOf(panel.primary.get());
  EXPECT_THAT(after(changes_->valuesOf(heading, "accessible-name"), "Couldn't update Orlith"),
              ElementsAre("Checking for updates", "Downloading update", "Verifying update",
                          "Ready to update"));
  EXPECT_THAT(
      after(changes_->valuesOf(primary, "accessible-name"), "Try again"),
      ElementsAre("Checking\u2026", "Downloading\u2026", "Verifying\u2026", "Restart & update"));
  const bool barSeen = std::any_of(progress.begin(), progress.end(), [](const auto& value) {
    return value && *value >= 0.0 && *value <= 1.0;
  });
  EXPECT_TRUE(barSeen) << "the panel showed no progress bar during " << progress.size()
                       << " percentages";
  EXPECT_EQ(testing::nameOf(panel.version.get()), newer);
  EXPECT_EQ(testing::descriptionOf(panel.primary.get()), "Save your work before restarting.");
  EXPECT_TRUE(testing::findAccessible(copy.indicator.get(), testing::clickable("Later")));

  const std::size_t restarted = changes_->all().size();
  ASSERT_TRUE(testing::activate(panel.primary.get()));
  ASSERT_TRUE(exited(first, 60s)) << "the running copy did not quit for the update";
  EXPECT_TRUE(copy.announced(*changes_, "Restarting Orlith", restarted));

  RunningCopy next = relaunched(first, installed);
  ASSERT_TRUE(next.indicatorButton) << "the installed copy did not come up";
  EXPECT_EQ(versionOf(installed), newer);
  // The new copy checks at launch and finds itself the latest.
  EXPECT_TRUE(testing::spinUntil(
      [&] { return testing::descriptionOf(next.indicator.get()) == "You're up to date"; }, 30s))
      << testing::descriptionOf(next.indicator.get());

  // The previous copy stays beside the new one; nothing else is left in the folder.
  const auto entries = applicationsEntries();
  ASSERT_EQ(entries.size(), 2u) << ::testing::PrintToString(entries);
  EXPECT_EQ(entries[1], "Orlith.app");
  EXPECT_THAT(entries[0].string(),
              ::testing::MatchesRegex("\\.Orlith-previous-[0-9A-Fa-f-]{36}\\.app"));
  EXPECT_EQ(versionOf(applications_ / entries[0]), running);
}

// The packages folder and the work-root folder as links to a folder of the person's files: the
// launch and each update attempt fail and leave every file there, even those named as the
// update's own. Each folder put right, the next attempt goes one step further, to the end.
TEST_F(InstalledProgram, FoldersThatAreLinksLoseNoFileAndPutRightTheUpdateGetsReady) {
  const std::filesystem::path installed = applications_ / "Orlith.app";
  copyBundle(installed);
  makeRelease();
  publishRelease();
  const std::filesystem::path documents = tree_ / "home/Documents";
  const std::map<std::string, std::string> files = {
      {"notes.txt", "notes"},
      {"00000000-0000-4000-8000-00000000000A/Orlith-1.0.zip", "mine"},
      {"OrlithUpdate-00000000-0000-4000-8000-00000000000B/InstallPlan.json", "mine too"}};
  for (const auto& [name, content] : files) {
    std::filesystem::create_directories((documents / name).parent_path());
    std::ofstream(documents / name) << content;
  }
  const auto filesLeft = [&] {
    std::map<std::string, std::string> found;
    for (const auto& item : std::filesystem::recursive_directory_iterator(documents))
      if (item.is_regular_file())
        found[std::filesystem::relative(item.path(), documents).string()] = readText(item.path());
    return found;
  };
  const std::filesystem::path packages = tree_ / "xdg/cache/OrlithUpdates";
  const std::filesystem::path work = tree_ / "tmp";
  std::filesystem::remove(work);
  std::filesystem::create_directory_symlink(documents, packages);
  std::filesystem::create_directory_symlink(documents, work);

  RunningCopy copy;
  changes_ = std::make_unique<testing::AccessibleChanges>([](const testing::AccessibleChange&) {});
  const pid_t first = start(installed);
  copy = shown(first);
  ASSERT_TRUE(copy.indicatorButton) << "no indicator on the accessibility bus";
  ASSERT_TRUE(testing::spinUntil(
      [&] { return testing::descriptionOf(copy.indicator.get()) == "Couldn't update Orlith"; },
      60s))
      << testing::descriptionOf(copy.indicator.get());
  EXPECT_EQ(filesLeft(), files);

  ASSERT_TRUE(testing::activate(copy.indicatorButton.get()));
  Panel panel = panelOfFailedCheck(copy);
  ASSERT_TRUE(panel.primary);
  // The download now lands; the installer refuses its folder of work roots.
  std::filesystem::remove(packages);
  std::size_t from = changes_->all().size();
  ASSERT_TRUE(testing::activate(panel.primary.get()));
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        return copy.announced(*changes_, "Verifying update", from) &&
               testing::descriptionOf(copy.indicator.get()) == "Couldn't update Orlith";
      },
      120s))
      << ::testing::PrintToString(copy.statuses(*changes_, from));
  EXPECT_EQ(filesLeft(), files);
  EXPECT_TRUE(std::filesystem::is_directory(packages) && !std::filesystem::is_symlink(packages));

  std::filesystem::remove(work);
  std::filesystem::create_directory(work);
  panel = panelOfFailedCheck(copy);
  ASSERT_TRUE(panel.primary);
  from = changes_->all().size();
  ASSERT_TRUE(testing::activate(panel.primary.get()));
  EXPECT_TRUE(
      testing::spinUntil([&] { return copy.announced(*changes_, "Ready to update", from); }, 120s))
      << ::testing::PrintToString(copy.statuses(*changes_, from));
  EXPECT_EQ(filesLeft(), files);
}

TEST_F(InstalledProgram, InstallsTheCopyInDownloadsThroughTheOfferAndOpensTheInstalledCopy) {
  const std::filesystem::path downloaded = tree_ / "home/Downloads/Orlith.app";
  copyBundle(downloaded);
  const std::string version = versionOf(downloaded);
  // The panel opens for the installation and is made then, with the stage's texts: read as the
  // indicator announces each stage, while the copy waits on the installer service.
  RunningCopy copy;
  std::vector<std::pair<std::string, bool>> panelShown;
  changes_ =
      std::make_unique<testing::AccessibleChanges>([&](const testing::AccessibleChange& change) {
        static const std::map<std::string, std::string> primaries = {
            {"Preparing installation", "Preparing\u2026"},
            {"Installing Orlith", "Installing\u2026"}};
        const auto stage = primaries.find(change.value);
        if (!copy.indicator || change.path != testing::pathOf(copy.indicator.get()) ||
            stage == primaries.end())
          return;
        AtspiAccessible* root = copy.indicator.get();
        panelShown.emplace_back(
            stage->first,
            testing::findAccessible(root, testing::withRole(ATSPI_ROLE_LABEL, stage->first)) &&
                testing::findAccessible(root,
                                        testing::withRole(ATSPI_ROLE_PUSH_BUTTON, stage->second)));
      });

  const pid_t first = start(downloaded);
  copy = shown(first);
  ASSERT_TRUE(copy.indicatorButton) << "no indicator on the accessibility bus";
  testing::Accessible install;
  ASSERT_TRUE(testing::spinUntil(
      [&] {
        install =
            testing::findAccessible(copy.application.get(), testing::clickable("Install & Open"));
        return install != nullptr;
      },
      30s))
      << "no install offer for the copy in Downloads";
  ASSERT_TRUE(testing::activate(install.get()));
  ASSERT_TRUE(exited(first, 90s)) << "the copy in Downloads did not quit for the installation";

  const std::filesystem::path installed = applications_ / "Orlith.app";
  RunningCopy next = relaunched(first, installed);
  ASSERT_TRUE(next.indicatorButton) << "the installed copy did not come up";

  // The indicator went through the installation's stages, and the panel showed each.
  EXPECT_THAT(stagesOf(after(copy.statuses(*changes_), "Orlith updates")),
              ElementsAre("Preparing installation", "Installing Orlith"));
  EXPECT_THAT(panelShown, ElementsAre(std::pair{std::string("Preparing installation"), true},
                                      std::pair{std::string("Installing Orlith"), true}));

  // The same version now in Applications, and the downloaded copy left where it was.
  EXPECT_EQ(versionOf(installed), version);
  EXPECT_THAT(applicationsEntries(), ElementsAre("Orlith.app"));
  EXPECT_EQ(versionOf(downloaded), version);
  // The installed copy makes no offer: it runs where it belongs.
  ASSERT_TRUE(testing::spinUntil(
      [&] { return testing::descriptionOf(next.indicator.get()) == "Couldn't update Orlith"; },
      30s))
      << testing::descriptionOf(next.indicator.get());
  EXPECT_FALSE(
      testing::findAccessible(next.application.get(), testing::clickable("Install & Open")));
}

}  // namespace
}  // namespace orlith
