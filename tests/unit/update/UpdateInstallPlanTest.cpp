// The plan codec, its file URLs, and the work root with its plan file and markers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <limits>

#include "base/Json.h"
#include "unit/update/FakeUserDatabase.h"
#include "update/trust/FileUrl.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateWorkRoot.h"

namespace orlith {
namespace {

using std::filesystem::path;

UpdateInstallPlan fullPlan() {
  UpdateInstallPlan plan;
  plan.candidate = "/tmp/OrlithUpdate-1/Orlith.app";
  plan.target = "/home/ada lovelace/Applications/Orlith.app";
  plan.source = "/home/ada lovelace/Downloads/Orlith 100%.app";
  plan.package = "/tmp/OrlithUpdate-1/Package.zip";
  plan.manifest = std::string("{\"signedPayload\":\"\\u0000\xFF\"}");
  plan.localSourceFingerprint = "fp";
  plan.sourceVersion = "1.0.0";
  plan.candidateVersion = "1.1.0";
  plan.version = "1.1.0";
  plan.architecture = "x64";
  plan.parentPID = std::numeric_limits<std::int32_t>::max();
  plan.sourceIdentity = {std::numeric_limits<std::uint64_t>::max(),
                         std::numeric_limits<std::uint64_t>::max() - 1};
  plan.targetIdentity = UpdateDirectoryIdentity{1, 2};
  plan.parentIdentity = {0, 3};
  plan.operation = UpdateInstallOperation::openExisting;
  return plan;
}

TEST(UpdateInstallPlanTest, EncodeWritesFieldsInOrderAndRoundTripsExactly) {
  const UpdateInstallPlan plan = fullPlan();
  const std::string json = plan.encode();
  EXPECT_EQ(UpdateInstallPlan::decode(json), plan);
  EXPECT_LT(json.find("\"candidate\""), json.find("\"target\""));
  EXPECT_LT(json.find("\"parentIdentity\""), json.find("\"operation\""));
  EXPECT_NE(json.find("\"source\":\"file:///home/ada%20lovelace/Downloads/Orlith%20100%25.app/\""),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"device\":18446744073709551615"), std::string::npos) << json;
}

TEST(UpdateInstallPlanTest, AMinimalPlanHasNoOptionalKeysAndDecodesThemAbsent) {
  UpdateInstallPlan plan = fullPlan();
  plan.package.reset();
  plan.manifest.reset();
  plan.localSourceFingerprint.reset();
  plan.targetIdentity.reset();
  plan.operation = UpdateInstallOperation::install;
  const std::string json = plan.encode();
  for (const char* key : {"package", "manifest", "localSourceFingerprint", "targetIdentity"}) {
    EXPECT_EQ(json.find(std::string("\"") + key + "\""), std::string::npos) << key;
  }
  EXPECT_EQ(UpdateInstallPlan::decode(json), plan);
}

TEST(UpdateInstallPlanTest, DecodeRefusesEveryValueThatIsNotExactlyRight) {
  const Json base = Json::parse(fullPlan().encode());
  const struct {
    const char* name;
    void (*change)(Json&);
  } cases[] = {
      {"capital Replace", [](Json& j) { j["operation"] = "Replace"; }},
      {"unknown operation", [](Json& j) { j["operation"] = "delete"; }},
      {"string parentPID", [](Json& j) { j["parentPID"] = "42"; }},
      {"negative parentPID", [](Json& j) { j["parentPID"] = -1; }},
      {"zero parentPID", [](Json& j) { j["parentPID"] = 0; }},
      {"parentPID beyond int32", [](Json& j) { j["parentPID"] = 2147483648LL; }},
      {"float inode", [](Json& j) { j["sourceIdentity"]["inode"] = 1.0; }},
      {"negative device", [](Json& j) { j["parentIdentity"]["device"] = -3; }},
      {"string device", [](Json& j) { j["parentIdentity"]["device"] = "3"; }},
      {"identity not an object",
       [](Json& j) {
         j["sourceIdentity"] = Json::array({1, 2});
       }},
      {"identity without inode", [](Json& j) { j["sourceIdentity"].erase("inode"); }},
      {"missing target", [](Json& j) { j.erase("target"); }},
      {"null version", [](Json& j) { j["version"] = nullptr; }},
      {"missing parentIdentity", [](Json& j) { j.erase("parentIdentity"); }},
      {"numeric architecture", [](Json& j) { j["architecture"] = 64; }},
      {"https candidate", [](Json& j) { j["candidate"] = "https://h/Orlith.app/"; }},
      {"relative target", [](Json& j) { j["target"] = "file://Applications/Orlith.app/"; }},
      {"host in URL", [](Json& j) { j["target"] = "file://host/Applications/Orlith.app/"; }},
      {"bad escape", [](Json& j) { j["source"] = "file:///a%2/"; }},
      {"NUL escape", [](Json& j) { j["source"] = "file:///a%00b/"; }},
      {"raw space", [](Json& j) { j["source"] = "file:///a b/"; }},
      {"query", [](Json& j) { j["source"] = "file:///a/?x"; }},
      {"folder URL for the package", [](Json& j) { j["package"] = "file:///tmp/Package.zip/"; }},
      {"file URL for a bundle", [](Json& j) { j["target"] = "file:///Orlith.app"; }},
      {"manifest not base64", [](Json& j) { j["manifest"] = "e30=\n"; }},
      {"not an object", [](Json& j) { j = Json::array(); }},
  };
  for (const auto& c : cases) {
    Json json = base;
    c.change(json);
    EXPECT_THROW(UpdateInstallPlan::decode(json.dump()), JsonDecodeError) << c.name;
  }
  EXPECT_THROW(UpdateInstallPlan::decode("{\"candidate\":"), JsonDecodeError);
}

TEST(UpdateInstallPlanTest, NullOptionalValuesDecodeAsAbsent) {
  Json json = Json::parse(fullPlan().encode());
  json["package"] = nullptr;
  json["targetIdentity"] = nullptr;
  const auto plan = UpdateInstallPlan::decode(json.dump());
  EXPECT_FALSE(plan.package);
  EXPECT_FALSE(plan.targetIdentity);
}

TEST(FileUrlTest, EncodedPathsDecodeBackWithTheirKind) {
  for (const FileUrl& url : {FileUrl{"/", PathKind::directory}, FileUrl{"/a/b", PathKind::file},
                             FileUrl{"/a b/%/é?#", PathKind::directory}}) {
    EXPECT_EQ(FileUrl::decode(url.encoded()), url) << url.encoded();
  }
  EXPECT_EQ(FileUrl({"/x y", PathKind::directory}).encoded(), "file:///x%20y/");
}

class UpdateWorkRootTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orlith-workroot-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    tree_ = std::filesystem::canonical(pattern);
    std::filesystem::create_directory(tree_ / "tmp");
    locations_ = test::testLocations(tree_, ::geteuid(), std::nullopt);
  }
  void TearDown() override {
    ::umask(savedUmask_);
    std::filesystem::remove_all(tree_);
  }

  path makeRoot() { return UpdateWorkRoot::create(locations_, uuids_).path; }

  static mode_t modeOf(const path& p) {
    struct stat info {};
    EXPECT_EQ(::lstat(p.c_str(), &info), 0) << p;
    return info.st_mode & 07777;
  }

  path tree_;
  UpdateLocations locations_;
  RandomUuidSource uuids_;
  mode_t savedUmask_ = ::umask(022);
};

TEST_F(UpdateWorkRootTest, RootIs0700AndPlanIs0600WhateverTheUmask) {
  for (const mode_t mask : {mode_t{0}, mode_t{0277}}) {
    ::umask(mask);
    const path root = makeRoot();
    EXPECT_EQ(root.parent_path(), tree_ / "tmp");
    EXPECT_EQ(root.filename().string().rfind("OrlithUpdate-", 0), 0u);
    EXPECT_EQ(root.filename().string().size(), 13u + 36u);
    EXPECT_EQ(modeOf(root), 0700u) << std::oct << mask;
    UpdateWorkRoot::writePlan(root, fullPlan());
    EXPECT_EQ(modeOf(UpdateWorkRoot::planFile(root)), 0600u) << std::oct << mask;
    EXPECT_EQ(UpdateWorkRoot::readPlan(UpdateWorkRoot::planFile(root), *locations_.users),
              fullPlan());
    for (const auto& entry : std::filesystem::directory_iterator(root)) {
      EXPECT_EQ(entry.path().filename(), "InstallPlan.json") << "no temporary left behind";
    }
  }
}

TEST_F(UpdateWorkRootTest, ReadPlanRefusesAFileThatIsNotTheServicesOwn) {
  const path root = makeRoot();
  const path plan = UpdateWorkRoot::planFile(root);
  const std::string good = fullPlan().encode();
  const struct {
    const char* name;
    void (*arrange)(const path& root, const path& plan, const std::string& good);
  } cases[] = {
      {"group-writable",
       [](const path&, const path& p, const std::string&) { ::chmod(p.c_str(), 0620); }},
      {"world-writable",
       [](const path&, const path& p, const std::string&) { ::chmod(p.c_str(), 0602); }},
      {"symbolic link",
       [](const path& r, const path& p, const std::string&) {
         std::filesystem::rename(p, r / "real.json");
         std::filesystem::create_symlink(r / "real.json", p);
       }},
      {"second hard link",
       [](const path& r, const path& p, const std::string&) {
         std::filesystem::create_hard_link(p, r / "other.json");
       }},
      {"empty", [](const path&, const path& p, const std::string&) { std::ofstream(p).close(); }},
      {"1,048,576 bytes",
       [](const path&, const path& p, const std::string&) {
         std::ofstream(p) << std::string(1'048'576, ' ');
       }},
      {"a folder",
       [](const path&, const path& p, const std::string&) {
         std::filesystem::remove(p);
         std::filesystem::create_directory(p);
       }},
      {"a FIFO",
       [](const path&, const path& p, const std::string&) {
         std::filesystem::remove(p);
         ::mkfifo(p.c_str(), 0600);
       }},
      {"missing",
       [](const path&, const path& p, const std::string&) { std::filesystem::remove(p); }},
  };
  for (const auto& c : cases) {
    std::filesystem::remove_all(root);
    std::filesystem::create_directory(root);
    UpdateWorkRoot::writePlan(root, fullPlan());
    c.arrange(root, plan, good);
    try {
      UpdateWorkRoot::readPlan(plan, *locations_.users);
      ADD_FAILURE() << c.name;
    } catch (const UpdateFailure& failure) {
      EXPECT_EQ(failure.message(), "The updater handoff is not private.") << c.name;
    }
  }
}

TEST_F(UpdateWorkRootTest, ReadPlanRefusesAPlanOwnedByAnotherUser) {
  const path root = makeRoot();
  UpdateWorkRoot::writePlan(root, fullPlan());
  const test::FakeUserDatabase otherUser(::geteuid() + 1, std::nullopt);
  EXPECT_THROW(UpdateWorkRoot::readPlan(UpdateWorkRoot::planFile(root), otherUser), UpdateFailure);
}

// Not the app's packages folder, <cache>/OrlithUpdates, whose clean-up must never meet a root.
TEST(UpdateLocationsTest, WorkRootsGoToTheUsersOwnFolderFromTheUserDatabase) {
  EXPECT_EQ(UpdateLocations::userTemporaryFolder(test::FakeUserDatabase(1000, "/home/ada")),
            "/home/ada/.cache/OrlithUpdateWork");
  EXPECT_EQ(UpdateLocations::userTemporaryFolder(test::FakeUserDatabase(1000, std::nullopt)),
            "/tmp/orlith-updates-1000");
  EXPECT_EQ(UpdateLocations::userTemporaryFolder(test::FakeUserDatabase(1000, "relative")),
            "/tmp/orlith-updates-1000");
}

TEST_F(UpdateWorkRootTest, TheUsersFolderIsMadePrivateWhenMissingAndMustStayPrivate) {
  locations_.temporaryFolder = tree_ / "home/.cache/OrlithUpdates";
  std::filesystem::create_directory(tree_ / "home");
  const path root = makeRoot();
  EXPECT_EQ(root.parent_path(), locations_.temporaryFolder);
  EXPECT_EQ(modeOf(tree_ / "home/.cache"), 0700u);
  EXPECT_EQ(modeOf(locations_.temporaryFolder), 0700u);

  ::chmod(locations_.temporaryFolder.c_str(), 0770);
  EXPECT_THROW(makeRoot(), UpdateFailure);
  ::chmod(locations_.temporaryFolder.c_str(), 0700);
  locations_.users = std::make_shared<test::FakeUserDatabase>(::geteuid() + 1, std::nullopt);
  EXPECT_THROW(makeRoot(), UpdateFailure);
}

TEST_F(UpdateWorkRootTest, AnExistingRootNameIsNeverReused) {
  struct FixedUuid final : UuidSource {
    std::string next() override { return "E621E1F8-C36C-495A-93FC-0C247A3E6E5F"; }
  } fixed;
  UpdateWorkRoot::create(locations_, fixed);
  EXPECT_THROW(UpdateWorkRoot::create(locations_, fixed), std::system_error);
}

TEST_F(UpdateWorkRootTest, MarkersNameAProcessOnlyByItsExactDecimalText) {
  const path root = makeRoot();
  const struct {
    std::string content;
    bool matches;
  } cases[] = {
      {"4242", true}, {"4242\n", false}, {"04242", false}, {"+4242", false},
      {"424", false}, {"", false},       {"4243", false},
  };
  for (const auto& c : cases) {
    UpdateWorkRoot::writeMarker(root, UpdateMarker::prepared, c.content);
    EXPECT_EQ(UpdateWorkRoot::markerNamesProcess(root, UpdateMarker::prepared, 4242), c.matches)
        << c.content;
  }
  EXPECT_EQ(UpdateWorkRoot::processIdText(4242), "4242");
  EXPECT_EQ(modeOf(root / "Prepared"), 0600u);
}

TEST_F(UpdateWorkRootTest, AMarkerThatIsALinkOrAbsentReadsAsNothing) {
  const path root = makeRoot();
  EXPECT_FALSE(UpdateWorkRoot::readMarker(root, UpdateMarker::committed));
  std::ofstream(tree_ / "elsewhere") << "4242";
  std::filesystem::create_symlink(tree_ / "elsewhere", root / "Committed");
  EXPECT_FALSE(UpdateWorkRoot::readMarker(root, UpdateMarker::committed));
  UpdateWorkRoot::writeMarker(root, UpdateMarker::cancelled, "");
  EXPECT_EQ(UpdateWorkRoot::readMarker(root, UpdateMarker::cancelled), "");
}

}  // namespace
}  // namespace orlith
