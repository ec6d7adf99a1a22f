// The package download over a scripted transport: sizes, statuses, progress, the digest and
// what is left on disk.
#include "update/client/UpdateDownloader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "base/Sha256.h"
#include "support/ManualMainQueue.h"
#include "support/RunToCompletion.h"
#include "support/SequentialUuidSource.h"
#include "support/TemporaryDirectory.h"
#include "unit/session/FakeHttpTransport.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

constexpr const char* kUrl = "https://127.0.0.1:47800/downloads/Orlith-1.3.0.zip";

class UpdateDownloaderTest : public ::testing::Test {
 protected:
  VerifiedUpdateRelease release(const std::string& body, const char* url = kUrl) const {
    return {"1.3.0", *Url::parse(url), sha256Hex(body), "{}"};
  }

  // The file, or the text of what was thrown.
  std::variant<std::filesystem::path, std::string> run(const VerifiedUpdateRelease& wanted,
                                                       std::uint64_t limit = 1000) {
    UpdateDownloader downloader(transport_, folder_, uuids_,
                                UpdateTrustedHosts::forLocalOrigin("127.0.0.1", 47800), "1.2.3",
                                limit);
    try {
      return testing::runToCompletion(
          queue_, downloader.download(wanted, [this](int p) { progress_.push_back(p); }));
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  }

  std::size_t foldersLeft() const {
    std::error_code error;
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_, error)) {
      ++count;
    }
    return count;
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::FakeHttpTransport transport_;
  SequentialUuidSource uuids_;
  TemporaryDirectory tree_;
  std::filesystem::path folder_ = tree_.path() / "cache/OrlithUpdates";
  std::vector<int> progress_;
};

TEST_F(UpdateDownloaderTest, RepliesAreJudgedBySizeStatusAddressAndDigest) {
  struct Case {
    const char* name;
    int status;
    std::optional<std::uint64_t> announced;
    std::size_t bytes;
    const char* url;
    bool rightDigest;
    const char* error;  // nullptr: success
    std::vector<int> progress;
  };
  const Case cases[] = {
      {"at the limit", 200, 1000, 1000, kUrl, true, nullptr, {25, 50, 75, 100}},
      {"announced over", 200, 1001, 10, kUrl, true, "The update package is too large.", {}},
      {"received over",
       200,
       std::nullopt,
       1001,
       kUrl,
       true,
       "The update package is too large.",
       {}},
      {"unknown length", 200, std::nullopt, 600, kUrl, true, nullptr, {}},
      {"more than announced", 200, 500, 750, kUrl, true, nullptr, {50, 100}},
      {"empty", 200, 0, 0, kUrl, true, "The update package has an invalid size.", {}},
      {"206", 206, 250, 250, kUrl, true, nullptr, {100}},
      {"304",
       304,
       std::nullopt,
       0,
       kUrl,
       true,
       "The update server returned an invalid package.",
       {}},
      {"302", 302, 250, 250, kUrl, true, "The update server returned an invalid package.", {100}},
      {"untrusted address",
       200,
       250,
       250,
       "https://127.0.0.1:47801/Orlith-1.3.0.zip",
       true,
       "The update server returned an invalid package.",
       {100}},
      {"wrong digest",
       200,
       250,
       250,
       kUrl,
       false,
       "The downloaded update failed checksum verification.",
       {100}},
  };
  for (const Case& c : cases) {
    progress_.clear();
    std::filesystem::remove_all(folder_);
    const std::string body(c.bytes, 'z');
    HttpHeaders headers;
    if (c.announced)
      headers.set("Content-Length", std::to_string(*c.announced));
    transport_.chunkSize = 250;
    transport_.reply(c.status, body, headers);
    VerifiedUpdateRelease wanted = release(body, c.url);
    if (!c.rightDigest)
      wanted.sha256 = std::string(64, '0');
    const auto outcome = run(wanted);
    if (c.error) {
      EXPECT_EQ(std::get_if<std::string>(&outcome) ? std::get<std::string>(outcome) : "", c.error)
          << c.name;
      EXPECT_EQ(foldersLeft(), 0u) << c.name;
    } else {
      ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(outcome))
          << c.name << ": " << std::get<std::string>(outcome);
      const auto& file = std::get<std::filesystem::path>(outcome);
      EXPECT_EQ(file.filename(), "Orlith-1.3.0.zip") << c.name;
      EXPECT_EQ(file.parent_path().parent_path(), folder_) << c.name;
      EXPECT_EQ(std::filesystem::file_size(file), c.bytes) << c.name;
      EXPECT_EQ(foldersLeft(), 1u) << c.name;
      struct stat info {};
      ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
      EXPECT_EQ(info.st_mode & 0777, 0700u) << c.name;
    }
    EXPECT_EQ(progress_, c.progress) << c.name;
  }
}

TEST_F(UpdateDownloaderTest, SizeStopWinsOverTheTransfersOwnErrorAndRequestShape) {
  transport_.completionError =
      std::make_exception_ptr(TransportError::url(UrlErrorCode::networkConnectionLost));
  transport_.reply(200, std::string(900, 'z'));
  const std::string body(900, 'z');
  EXPECT_EQ(std::get<std::string>(run(release(body))), "The network connection was lost.");

  transport_.reply(200, std::string(2000, 'z'));
  EXPECT_EQ(std::get<std::string>(run(release(body))), "The update package is too large.");

  ASSERT_EQ(transport_.sent.size(), 2u);
  const auto& sent = transport_.sent[0];
  EXPECT_EQ(sent.request.url, kUrl);
  EXPECT_EQ(sent.request.headers, (HttpHeaders{{"User-Agent", "Orlith-macOS/1.2.3"}}));
  EXPECT_EQ(sent.settings.cookies, CookieHandling::none);
  EXPECT_EQ(sent.settings.requestTimeout, std::chrono::seconds(30));
  EXPECT_EQ(sent.settings.resourceTimeout, std::chrono::seconds(900));
}

// The packages folder is the app's only as a real private folder of the user: a link to a folder
// of the person's files, or a folder others may change, takes no download and loses no file,
// not even one named as downloads are. Put right, the next download lands.
TEST_F(UpdateDownloaderTest, APackagesFolderThatIsALinkOrNotPrivateIsRefusedAndLosesNothing) {
  const std::filesystem::path documents = tree_.path() / "Documents";
  const std::filesystem::path lookalike =
      documents / "00000000-0000-4000-8000-0000000000AA" / "Orlith-1.0.0.zip";
  struct Case {
    const char* name;
    std::function<std::filesystem::path()> make;  // the files that must stay
  };
  const Case cases[] = {
      {"link",
       [&] {
         std::filesystem::create_directories(folder_.parent_path());
         std::filesystem::create_directory_symlink(documents, folder_);
         return documents;
       }},
      {"group-writable",
       [&] {
         std::filesystem::copy(documents, folder_, std::filesystem::copy_options::recursive);
         ::chmod(folder_.c_str(), 0770);
         return folder_;
       }},
  };
  const std::string body(300, 'z');
  for (const Case& c : cases) {
    std::filesystem::remove_all(folder_);
    std::filesystem::remove_all(documents);
    std::filesystem::create_directories(lookalike.parent_path());
    std::ofstream(lookalike) << "mine";
    std::ofstream(documents / "notes.txt") << "notes";
    const std::filesystem::path kept = c.make();

    UpdateDownloader::removePackagesExcept(folder_, std::nullopt);
    transport_.reply(200, body);
    const auto outcome = run(release(body));
    ASSERT_TRUE(std::holds_alternative<std::string>(outcome)) << c.name;
    EXPECT_EQ(std::get<std::string>(outcome),
              "The folder for update downloads is not private: " + folder_.string() +
                  ". It must be a folder of your own, not a link, that only you can change.")
        << c.name;
    EXPECT_TRUE(std::filesystem::exists(kept / "notes.txt")) << c.name;
    EXPECT_TRUE(
        std::filesystem::exists(kept / lookalike.parent_path().filename() / lookalike.filename()))
        << c.name;
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(kept),
                            std::filesystem::directory_iterator()),
              2)
        << c.name << ": nothing was added";
  }
  std::filesystem::remove_all(folder_);
  transport_.reply(200, body);
  EXPECT_TRUE(std::holds_alternative<std::filesystem::path>(run(release(body))));
}

// Only the folders downloads make, named by a canonical UUID, are removed; an entry of another
// name stays, and a link among them goes without its target being reached.
TEST_F(UpdateDownloaderTest, PruningRemovesOnlyDownloadFoldersAndNeverFollowsALink) {
  const std::string body(300, 'z');
  transport_.reply(200, body);
  const auto package = std::get<std::filesystem::path>(run(release(body)));
  const std::filesystem::path outside = tree_.path() / "outside";
  std::filesystem::create_directories(outside);
  std::ofstream(outside / "keep.txt") << "keep";
  std::filesystem::create_directory_symlink(outside,
                                            folder_ / "00000000-0000-4000-8000-0000000000BB");
  std::filesystem::create_directories(folder_ / "00000000-0000-4000-8000-0000000000cc");
  std::ofstream(folder_ / "notes.txt") << "notes";

  UpdateDownloader::removePackagesExcept(folder_, std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(package.parent_path()));
  EXPECT_FALSE(std::filesystem::is_symlink(folder_ / "00000000-0000-4000-8000-0000000000BB"));
  EXPECT_TRUE(std::filesystem::exists(outside / "keep.txt"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "00000000-0000-4000-8000-0000000000cc"));
  EXPECT_TRUE(std::filesystem::exists(folder_ / "notes.txt"));
}

TEST_F(UpdateDownloaderTest, TwoDownloadsLandApartAndPruningKeepsOnlyTheNamedPackage) {
  const std::string body(300, 'z');
  transport_.reply(200, body);
  transport_.reply(200, body);
  const auto first = std::get<std::filesystem::path>(run(release(body)));
  const auto second = std::get<std::filesystem::path>(run(release(body)));
  EXPECT_NE(first.parent_path(), second.parent_path());
  EXPECT_EQ(foldersLeft(), 2u);

  UpdateDownloader::removePackagesExcept(folder_, second);
  EXPECT_FALSE(std::filesystem::exists(first.parent_path()));
  EXPECT_TRUE(std::filesystem::exists(second));
  UpdateDownloader::removePackagesExcept(folder_, std::nullopt);
  EXPECT_EQ(foldersLeft(), 0u);
}

}  // namespace
}  // namespace orlith
