// Zip extraction into a work root: the hostile-archive table, the candidate of a good package,
// disk images, and the package helpers (Info.plist limits, fingerprint, manifest size).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "FakeUserDatabase.h"
#include "SealedBundles.h"
#include "ZipFixture.h"
#include "base/Sha256.h"
#include "platform/archive/LibarchiveZipReader.h"
#include "support/TemporaryDirectory.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

std::string failureOf(const std::function<void()>& check) {
  try {
    check();
  } catch (const UpdateFailure& failure) {
    return failure.message();
  }
  return "";
}

std::vector<std::string> listTree(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::recursive_directory_iterator(folder)) {
    names.push_back(std::filesystem::relative(item.path(), folder).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class PackageExtractionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locations_ = test::testLocations(tree_.path(), ::geteuid(), std::nullopt);
    locations_.ownBundle = tree_.path() / "service/OrlithUpdateInstaller.xpc";
    test::makeBundle(*locations_.ownBundle,
                     test::helperSpec("com.tolvik.orlith.mac.UpdateInstaller",
                                      "OrlithUpdateInstaller", updateKey_ + "\n"));
    root_ = tree_.path() / "tmp/OrlithUpdate-1";
    std::filesystem::create_directories(root_);
    ::chmod(root_.c_str(), 0700);
    package_ = root_ / "Package.zip";
  }

  std::vector<test::ZipEntry> candidateEntries(const std::string& version = "1.1.0") {
    const auto staging = tree_.path() / "staging" / version / "Orlith.app";
    test::BundleSpec spec;
    spec.version = version;
    spec.pinnedKey = updateKey_;
    team_.makeApplication(staging, spec);
    return test::entriesOf(staging);
  }

  std::filesystem::path extract(const UpdateExtractionLimits& limits = {}) {
    return InstallationSecurity::extract(package_, root_, "1.1.0", team_.team(), reader_,
                                         locations_, limits);
  }

  TemporaryDirectory tree_;
  test::TestTeam team_;
  std::string updateKey_ = test::TestTeam().key().publicKeyText();
  UpdateLocations locations_;
  std::filesystem::path root_;
  std::filesystem::path package_;
  LibarchiveZipReader reader_;
};

TEST_F(PackageExtractionTest, GoodZipGivesAValidCandidateWithItsExecuteBits) {
  auto entries = candidateEntries();
  entries.push_back({"extra//notes.txt", AE_IFREG, 0644, "kept out", ""});
  test::writeArchive(package_, entries);
  const auto candidate = extract();
  EXPECT_EQ(candidate, root_ / "Orlith.app");
  struct stat info {};
  ASSERT_EQ(::stat((candidate / "Contents/MacOS/Orlith").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_FALSE(std::filesystem::exists(root_ / "extra"));
}

TEST_F(PackageExtractionTest, EntriesOutsideTheAppNeverReachTheWorkRoot) {
  auto entries = candidateEntries();
  entries.push_back({"Committed", AE_IFREG, 0644, "4242", ""});
  entries.push_back({"InstallPlan.json", AE_IFREG, 0644, "{}", ""});
  entries.push_back({"Package.zip", AE_IFREG, 0644, "overwritten", ""});
  test::writeArchive(package_, entries);
  const std::string packageBytes = test::readFile(package_);
  extract();
  EXPECT_FALSE(std::filesystem::exists(root_ / "Committed"));
  EXPECT_FALSE(std::filesystem::exists(root_ / "InstallPlan.json"));
  EXPECT_EQ(test::readFile(package_), packageBytes);
}

TEST_F(PackageExtractionTest, SetuidAndSetgidBitsAreNeverRestored) {
  auto entries = candidateEntries();
  for (auto& entry : entries) {
    if (entry.name.ends_with("MacOS/Orlith")) {
      entry.mode = 06755;
    }
  }
  test::writeArchive(package_, entries);
  extract();
  struct stat info {};
  ASSERT_EQ(::stat((root_ / "Orlith.app/Contents/MacOS/Orlith").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
}

// libarchive reads a zip FIFO as a plain file, so none is ever made; the seal then refuses it.
struct HostileCase {
  const char* name;
  std::function<std::vector<test::ZipEntry>(const std::filesystem::path& tree)> entries;
  const char* expected;
  mode_t patchedType = 0;  // given to the first hostile entry after writing
};

class HostileArchiveTest : public PackageExtractionTest,
                           public ::testing::WithParamInterface<HostileCase> {};

constexpr const char* kUnsafe = "The update archive contains unsafe paths.";
constexpr const char* kLinks = "The update archive contains unsupported links.";
constexpr const char* kSecurity = "The update package failed a security check.";

TEST_P(HostileArchiveTest, IsRefusedWithNothingWrittenOutsideTheRoot) {
  const auto before = listTree(tree_.path());
  auto entries = candidateEntries();
  const auto hostile = GetParam().entries(tree_.path());
  entries.insert(entries.begin() + 3, hostile.begin(), hostile.end());
  test::writeArchive(package_, entries);
  if (GetParam().patchedType != 0) {
    test::setUnixType(package_, hostile.front().name, GetParam().patchedType);
  }
  UpdateExtractionLimits limits;
  limits.maximumBytes = 1'000'000;
  EXPECT_EQ(failureOf([&] { extract(limits); }), GetParam().expected);
  // The staging copy made for the archive is the only change outside the work root.
  auto after = listTree(tree_.path());
  std::erase_if(after, [](const std::string& name) {
    return name.starts_with("staging") || name.starts_with("tmp/OrlithUpdate-1/");
  });
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    Table, HostileArchiveTest,
    ::testing::Values(
        HostileCase{"ParentComponent",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/../../escape", AE_IFREG, 0644, "x", ""}};
                    },
                    kUnsafe},
        HostileCase{"AbsolutePath",
                    [](const auto& tree) {
                      return std::vector<test::ZipEntry>{
                          {(tree / "escape").string(), AE_IFREG, 0644, "x", ""}};
                    },
                    kUnsafe},
        HostileCase{"Backslash",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app\\..\\escape", AE_IFREG, 0644, "x", ""}};
                    },
                    kUnsafe},
        HostileCase{
            "UndecodableName",
            [](const auto&) {
              return std::vector<test::ZipEntry>{{"Orlith.app/caf\xe9", AE_IFREG, 0644, "x", ""}};
            },
            kUnsafe},
        HostileCase{"SymlinkInsideTheBundle",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/Contents/alias", AE_IFLNK, 0777, "", "Info.plist"}};
                    },
                    kLinks},
        HostileCase{"SymlinkOutOfTheRoot",
                    [](const auto& tree) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/Contents/Resources", AE_IFLNK, 0777, "", tree.string()}};
                    },
                    kLinks},
        HostileCase{"ParentComponentAndLinkReportsUnsafePaths",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/l", AE_IFLNK, 0777, "", "/etc"},
                          {"../escape", AE_IFREG, 0644, "x", ""}};
                    },
                    kUnsafe},
        HostileCase{"FifoIsNeverMadeAndFailsTheSeal",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/Contents/pipe", AE_IFREG, 0644, "", ""}};
                    },
                    "The update failed code signature verification.", S_IFIFO},
        HostileCase{"CharacterDevice",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{
                          {"Orlith.app/Contents/tty", AE_IFREG, 0644, "", ""}};
                    },
                    kUnsafe, S_IFCHR},
        HostileCase{"OversizedEntry",
                    [](const auto&) {
                      return std::vector<test::ZipEntry>{{"Orlith.app/Contents/Resources/big",
                                                          AE_IFREG, 0644,
                                                          std::string(2'000'000, 'z'), ""}};
                    },
                    kSecurity}),
    [](const auto& info) { return std::string(info.param.name); });

// libarchive's zip reader never reports a hard link, so the rule is shown through a reader that
// does, as a packer of another format might.
class OneEntryReader final : public UpdateArchiveReader {
 public:
  explicit OneEntryReader(UpdateArchiveEntry entry) : entry_(std::move(entry)) {}
  std::unique_ptr<UpdateArchiveCursor> openZip(const std::filesystem::path&) const override {
    struct Cursor final : UpdateArchiveCursor {
      explicit Cursor(UpdateArchiveEntry e) : entry(std::move(e)) {}
      std::optional<UpdateArchiveEntry> next() override {
        return std::exchange(given, true) ? std::nullopt : std::optional(entry);
      }
      std::size_t read(char*, std::size_t) override { return 0; }
      UpdateArchiveEntry entry;
      bool given = false;
    };
    return std::make_unique<Cursor>(entry_);
  }

 private:
  UpdateArchiveEntry entry_;
};

// Names the reader cannot vouch for, and names that collide, are unsafe paths whatever the
// archive's flags say, never a reader or file-system error.
TEST_F(PackageExtractionTest, UndecodableAndDuplicateNamesAreUnsafePaths) {
  const struct {
    const char* name;
    std::vector<test::ZipEntry> extra;
    std::optional<bool> utf8Flag;  // forced on the first extra entry
  } cases[] = {
      {"latin-1 name flagged as UTF-8", {{"Orlith.app/caf\xe9", AE_IFREG, 0644, "x", ""}}, true},
      {"latin-1 name without the flag", {{"Orlith.app/caf\xe9", AE_IFREG, 0644, "x", ""}}, false},
      {"overlong UTF-8 flagged", {{"Orlith.app/\xc0\xafx", AE_IFREG, 0644, "x", ""}}, true},
      {"same file twice",
       {{"Orlith.app/Contents/twice", AE_IFREG, 0644, "a", ""},
        {"Orlith.app/Contents/twice", AE_IFREG, 0644, "b", ""}},
       std::nullopt},
      {"file and folder of one name",
       {{"Orlith.app/Contents/both", AE_IFREG, 0644, "a", ""},
        {"Orlith.app/Contents/both/", AE_IFDIR, 0755, "", ""}},
       std::nullopt},
      {"same name spelled with a dot component",
       {{"Orlith.app/Contents/dotted", AE_IFREG, 0644, "a", ""},
        {"Orlith.app/./Contents//dotted", AE_IFREG, 0644, "b", ""}},
       std::nullopt},
  };
  for (const auto& c : cases) {
    auto entries = candidateEntries();
    entries.insert(entries.end(), c.extra.begin(), c.extra.end());
    std::filesystem::remove_all(root_ / "Orlith.app");
    test::writeArchive(package_, entries);
    if (c.utf8Flag) {
      test::setUtf8NameFlag(package_, c.extra.front().name, *c.utf8Flag);
    }
    std::string failure;
    try {
      extract();
    } catch (const UpdateFailure& error) {
      failure = error.message();
    } catch (const std::exception& error) {
      failure = std::string("other error: ") + error.what();
    }
    EXPECT_EQ(failure, kUnsafe) << c.name;
  }
}

// The seal reads an Info.plist as large as the sealing program could, so an oversized one gets
// past the seal and is refused for what it is.
TEST_F(PackageExtractionTest, SealedAppWithAnOversizedInfoPlistHasTheWrongIdentity) {
  const auto app = tree_.path() / "large/Orlith.app";
  test::BundleSpec spec;
  spec.version = "1.1.0";
  spec.pinnedKey = updateKey_;
  test::makeBundle(app, spec);
  std::string plist = test::readFile(app / "Contents/Info.plist");
  const std::string padding =
      "<key>Padding</key><string>" + std::string(1'048'576, 'a') + "</string>";
  plist.insert(plist.rfind("</dict>"), padding);
  test::writeFile(app / "Contents/Info.plist", plist);
  team_.seal(app, test::applicationEntitlements(team_.id()));
  EXPECT_EQ(failureOf([&] {
              InstallationSecurity::validateCandidate(app, "1.1.0", team_.team(), locations_);
            }),
            "The update application has the wrong version or identity.");
}

TEST_F(PackageExtractionTest, HardLinkEntryIsAnUnsupportedLink) {
  const OneEntryReader reader(
      {"Orlith.app/Contents/Info.plist", ArchiveEntryKind::hardLink, 0644, 0});
  EXPECT_EQ(failureOf([&] {
              InstallationSecurity::extract(package_, root_, "1.1.0", team_.team(), reader,
                                            locations_);
            }),
            kLinks);
}

TEST_F(PackageExtractionTest, TarNamedZipIsRefused) {
  test::writeArchive(package_, candidateEntries(), /*tar=*/true);
  EXPECT_EQ(failureOf([&] { extract(); }), kSecurity);
  EXPECT_FALSE(std::filesystem::exists(root_ / "Orlith.app"));
}

TEST_F(PackageExtractionTest, CandidateOfAnotherVersionFailsIdentity) {
  test::writeArchive(package_, candidateEntries("1.2.0"));
  EXPECT_EQ(failureOf([&] { extract(); }),
            "The update application has the wrong version or identity.");
}

TEST_F(PackageExtractionTest, DiskImageIsRefusedBeforeAnythingIsTouched) {
  const auto image = root_ / "Package.dmg";
  test::writeFile(image, "koly");
  const auto before = listTree(root_);
  try {
    InstallationSecurity::extract(image, root_, "1.1.0", team_.team(), reader_, locations_);
    FAIL() << "a disk image was accepted";
  } catch (const UpdateFailure& failure) {
    EXPECT_EQ(failure.message(), "Disk image updates can't be installed on Linux.");
    EXPECT_FALSE(failure.requiresManualInstallation());
  }
  EXPECT_EQ(listTree(root_), before);
}

TEST(BundleMetadataTest, InfoPlistOfExactlyTheLimitIsReadAndOneByteMoreIsRefused) {
  TemporaryDirectory tree;
  const std::string head = "<plist version=\"1.0\"><dict><key>A</key><string>";
  const std::string tail = "</string></dict></plist>";
  for (const std::size_t size : {std::size_t{1'048'576}, std::size_t{1'048'577}}) {
    test::writeFile(tree.path() / "X.app/Contents/Info.plist",
                    head + std::string(size - head.size() - tail.size(), 'a') + tail);
    const auto read = [&] { InstallationSecurity::bundleMetadata(tree.path() / "X.app"); };
    if (size == 1'048'576) {
      EXPECT_NO_THROW(read());
    } else {
      EXPECT_EQ(failureOf(read), "The update application has the wrong version or identity.");
    }
  }
  test::writeFile(tree.path() / "X.app/Contents/Info.plist",
                  "<plist version=\"1.0\"><array/></plist>");
  EXPECT_EQ(failureOf([&] { InstallationSecurity::bundleMetadata(tree.path() / "X.app"); }),
            "The update application has the wrong version or identity.");
}

TEST(BundleFingerprintTest, MatchesAnIndependentComputation) {
  TemporaryDirectory tree;
  test::TestTeam team;
  const auto app = tree.path() / "Orlith.app";
  team.makeApplication(app, {});
  const std::string expected =
      sha256Hex(sha256Hex(test::readFile(app / "Contents/Info.plist")) +
                sha256Hex(test::readFile(app / "Contents/MacOS/Orlith")) +
                sha256Hex(test::readFile(app / "Contents/_CodeSignature/CodeResources")));
  EXPECT_EQ(InstallationSecurity::bundleFingerprint(app), expected);

  test::BundleSpec slashed;
  slashed.executable = "MacOS/Orlith";
  test::writeFile(app / "Contents/Info.plist", test::infoPlist(slashed));
  EXPECT_EQ(failureOf([&] { InstallationSecurity::bundleFingerprint(app); }),
            "The application's executable is invalid.");
}

TEST(VerifiedManifestTest, DocumentOverTheLimitIsAMissingKeyBeforeTheKeyIsLookedUp) {
  TemporaryDirectory tree;
  auto locations = test::testLocations(tree.path(), ::geteuid(), std::nullopt);
  const std::string document(262'145, ' ');
  EXPECT_EQ(failureOf([&] { InstallationSecurity::verifiedManifest(document, "x64", locations); }),
            "The updater verification key is missing.");
}

}  // namespace
}  // namespace orlith
