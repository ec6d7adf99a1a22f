// Downloads on a real temporary folder: safe names, numbered names, and clean-up on every path.
#include "workspace/surface/DownloadDestination.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

#include "support/HoldingChild.h"
#include "support/SequentialUuidSource.h"
#include "support/TemporaryDirectory.h"
#include "support/TestTimeBudget.h"

namespace orlith {
namespace {

TEST(DownloadNameTest, SuggestedNamesBecomeOneSafeComponent) {
  const std::pair<std::string, std::string> cases[] = {
      {"report.pdf", "report.pdf"},
      {"../../.evil name.bin", "evil name.bin"},
      {"a\\b\\c.txt", "c.txt"},
      {"dir/", "Download"},
      {"..", "Download"},
      {".", "Download"},
      {"", "Download"},
      {" . .hidden", "hidden"},
      {"notes.txt ", "notes.txt"},
      {"notes.txt. . ", "notes.txt"},
      {"trail.", "trail"},
      {" . ", "Download"},
      {std::string("bad\0name\x01\x7f.txt", 14), "bad_name__.txt"},
      {"caf\xc3\xa9.txt", "caf\xc3\xa9.txt"},
      {"-rf", "_rf"},
      {" --help.txt", "_-help.txt"},
      {"invoice\xe2\x80\xaegpj.exe", "invoice_gpj.exe"},
      {"\xe2\x80\x8bzero\xef\xbb\xbf.txt", "_zero_.txt"},
      {"line\xe2\x80\xa8"
       "break\xc2\x85.txt",
       "line_break_.txt"},
      {"\xff\xfe.txt", "__.txt"},
      {"\xc3(.txt", "_(.txt"},
  };
  for (const auto& [suggested, expected] : cases)
    EXPECT_EQ(DownloadDestination::sanitisedFileName(suggested), expected) << suggested;
}

TEST(DownloadNameTest, EveryRuleHoldsForTheNameAfterTheLengthCut) {
  const std::string continuation(300, '\x80');
  EXPECT_EQ(DownloadDestination::sanitisedFileName(continuation + ".bashrc"),
            std::string(248, '_') + ".bashrc")
      << "bytes that are no characters are not cut away to leave a dot file";
  EXPECT_EQ(DownloadDestination::sanitisedFileName(std::string(300, '.') + "x"), "x");
  EXPECT_EQ(DownloadDestination::sanitisedFileName(std::string(300, '\xc3')),
            std::string(255, '_'));
  EXPECT_EQ(DownloadDestination::sanitisedFileName("abcdef.txt", 8), "abcd.txt");
  EXPECT_EQ(DownloadDestination::sanitisedFileName("abc   defg", 6), "abc");
  for (const std::string& suggested :
       {continuation, std::string(400, '-'), std::string(255, ' ') + "-" + std::string(10, 'a'),
        std::string(256, 'a') + "." + std::string(20, '\x80')}) {
    const std::string name = DownloadDestination::sanitisedFileName(suggested);
    EXPECT_FALSE(name.empty());
    EXPECT_LE(name.size(), DownloadDestination::kMaxNameBytes);
    EXPECT_NE(name.front(), '.');
    EXPECT_NE(name.front(), '-');
    EXPECT_NE(name.front(), ' ');
    EXPECT_NE(name.back(), ' ');
  }
}

TEST(DownloadNameTest, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
  std::string stem;
  for (int i = 0; i < 200; ++i)
    stem += "\xc3\xa9";  // two bytes each
  const std::string name = DownloadDestination::sanitisedFileName(stem + ".tar");
  EXPECT_LE(name.size(), DownloadDestination::kMaxNameBytes);
  EXPECT_TRUE(name.ends_with("\xc3\xa9.tar")) << "no split character before the extension";

  const std::string numbered = DownloadDestination::numberedFileName(name, 12);
  EXPECT_LE(numbered.size(), DownloadDestination::kMaxNameBytes);
  EXPECT_TRUE(numbered.ends_with("\xc3\xa9 (12).tar"));
  EXPECT_EQ(DownloadDestination::numberedFileName("a.b.txt", 2), "a.b (2).txt");
  EXPECT_EQ(DownloadDestination::numberedFileName("README", 3), "README (3)");
  EXPECT_EQ(DownloadDestination::numberedFileName("README", 1), "README");
}

class DownloadDestinationTest : public ::testing::Test {
 protected:
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path()))
      result.push_back(entry.path().filename().string());
    std::sort(result.begin(), result.end());
    return result;
  }
  static void write(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
  }

  TemporaryDirectory folder_;
  SequentialUuidSource uuids_;
  ActiveDownloads registry_;
};

TEST_F(DownloadDestinationTest, FinishedDownloadsTakeFreeNumberedNamesAndLeaveNoStaging) {
  write(folder_.path() / "file.bin", "already there");
  std::vector<std::filesystem::path> placed;
  for (int i = 0; i < 2; ++i) {
    DownloadDestination download(registry_, uuids_);
    EXPECT_EQ(registry_.count(), 1u);
    auto payload = download.stage(folder_.path(), "file.bin");
    struct stat info {};
    ASSERT_EQ(::stat(download.stagingFolder()->c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(download.stagingFolder()->filename().string().starts_with(".orlith-download-"));
    write(payload, "payload " + std::to_string(i));
    placed.push_back(download.finish());
    EXPECT_TRUE(registry_.isEmpty());
  }
  EXPECT_EQ(placed[0].filename(), "file (2).bin");
  EXPECT_EQ(placed[1].filename(), "file (3).bin");
  EXPECT_EQ(names(), (std::vector<std::string>{"file (2).bin", "file (3).bin", "file.bin"}));
  std::ifstream kept(folder_.path() / "file.bin");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "already there");
}

TEST_F(DownloadDestinationTest, FailureCancelAndTeardownLeaveNothingBehind) {
  {
    DownloadDestination failed(registry_, uuids_);
    write(failed.stage(folder_.path(), "a.bin"), "partial");
    failed.discard();
    failed.discard();
    EXPECT_EQ(failed.state(), DownloadDestination::State::discarded);
  }
  {
    DownloadDestination tornDown(registry_, uuids_);
    write(tornDown.stage(folder_.path(), "b.bin"), "partial");
    EXPECT_EQ(registry_.count(), 1u);
  }
  { DownloadDestination neverStaged(registry_, uuids_); }
  {
    DownloadDestination noPayload(registry_, uuids_);
    noPayload.stage(folder_.path(), "c.bin");
    EXPECT_THROW(noPayload.finish(), std::system_error);
  }
  EXPECT_TRUE(registry_.isEmpty());
  EXPECT_TRUE(names().empty());
}

std::string contents(const std::filesystem::path& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST_F(DownloadDestinationTest, DownloadsFolderThatIsALinkIsFollowed) {
  TemporaryDirectory other;
  const auto link = folder_.path() / "Downloads";
  std::filesystem::create_directory_symlink(other.path(), link);
  DownloadDestination download(registry_, uuids_);
  write(download.stage(link, "report.pdf"), "pdf");
  EXPECT_EQ(download.finish(), link / "report.pdf");
  EXPECT_EQ(contents(other.path() / "report.pdf"), "pdf");
  EXPECT_EQ(names(), std::vector<std::string>{"Downloads"});
}

// A file system that takes no ":" in names, as a FAT drive does.
int refuseColons(int fromFolder, const char* from, int toFolder, const char* to) {
  if (std::string_view(to).find(':') != std::string_view::npos)
    return EINVAL;
  return DownloadDestination::moveNoReplace(fromFolder, from, toFolder, to);
}

int refuseEverything(int, const char*, int, const char*) {
  return EPERM;
}

TEST_F(DownloadDestinationTest, RefusedNameGivesWayToAPlainOneAndNothingIsEverDeleted) {
  write(folder_.path() / "Download.txt", "older");
  {
    DownloadDestination download(registry_, uuids_, refuseColons);
    write(download.stage(folder_.path(), "notes 10:30.txt"), "notes");
    EXPECT_EQ(download.finish(), folder_.path() / "Download (2).txt");
    EXPECT_EQ(contents(folder_.path() / "Download (2).txt"), "notes");
  }
  {
    DownloadDestination download(registry_, uuids_, refuseEverything);
    write(download.stage(folder_.path(), "kept.bin"), "precious");
    std::filesystem::path keptAt;
    try {
      download.finish();
      ADD_FAILURE() << "no name worked";
    } catch (const DownloadNotPlaced& notPlaced) {
      keptAt = notPlaced.keptAt();
      EXPECT_EQ(notPlaced.code().value(), EPERM);
    }
    EXPECT_EQ(download.state(), DownloadDestination::State::kept);
    EXPECT_TRUE(registry_.isEmpty()) << "a kept file is no running download";
    download.discard();
    EXPECT_EQ(contents(keptAt), "precious") << "what was downloaded stays, also after discard";
    DownloadProblem problem{"kept.bin", keptAt};
    EXPECT_NE(problem.body().find(keptAt.string()), std::string::npos) << problem.body();
    DownloadDestination::removeUnclaimedStagingFolders(folder_.path());
    EXPECT_EQ(contents(keptAt), "precious") << "a kept file is never swept";
  }
  EXPECT_EQ(contents(folder_.path() / "Download.txt"), "older");
}

// A killed app leaves its download's staging folder behind; the sweep takes it once nothing
// claims it, and never the folder of a download still running.
TEST_F(DownloadDestinationTest, StagingFoldersOfAKilledAppAreSweptAndRunningOnesStay) {
  const auto killed = std::make_unique<testing::HoldingChild>([this] {
    ActiveDownloads registry;
    RandomUuidSource uuids;
    // Held until the child is killed, as a download in flight holds its folder.
    static std::unique_ptr<DownloadDestination> running;
    running = std::make_unique<DownloadDestination>(registry, uuids);
    const auto payload = running->stage(folder_.path(), "big.iso");
    std::ofstream(payload) << "half of it";
    return payload.parent_path().string();
  });
  const std::filesystem::path left = killed->report();
  ASSERT_TRUE(std::filesystem::exists(left / "payload")) << killed->report();
  killed->kill();
  DownloadDestination running(registry_, uuids_);
  write(running.stage(folder_.path(), "running.bin"), "so far");
  write(folder_.path() / ".orlith-download-notes", "not a staging folder");

  // Staging `running` started a sweep of its own in the background; while it removes the
  // folder this one finds it locked and leaves it, so the folder goes by one or the other.
  DownloadDestination::removeUnclaimedStagingFolders(folder_.path());
  const auto deadline =
      std::chrono::steady_clock::now() + testing::boundedByTestTime(std::chrono::seconds(10));
  while (std::filesystem::exists(left) && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_FALSE(std::filesystem::exists(left));
  EXPECT_TRUE(std::filesystem::exists(*running.stagingFolder() / "payload"));
  EXPECT_TRUE(std::filesystem::exists(folder_.path() / ".orlith-download-notes"));
  EXPECT_EQ(running.finish(), folder_.path() / "running.bin");
}

}  // namespace
}  // namespace orlith
