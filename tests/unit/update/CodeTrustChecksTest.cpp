// The pinned update key, the profile contract between installed and new app, and bundle
// architectures.
#include <gtest/gtest.h>

#include <functional>

#include "FakeUserDatabase.h"
#include "SealedBundles.h"
#include "support/TemporaryDirectory.h"
#include "update/trust/InstallationSecurity.h"
#include "update/trust/StrictBase64.h"
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

class PinnedKeyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    locations_ = test::testLocations(tree_.path(), ::geteuid(), std::nullopt);
    locations_.ownBundle = tree_.path() / "OrlithUpdater.app";
  }
  void setResource(const std::optional<std::string>& text) {
    test::makeBundle(*locations_.ownBundle,
                     test::helperSpec("com.tolvik.orlith.mac.Updater", "OrlithUpdater", text));
  }

  TemporaryDirectory tree_;
  UpdateLocations locations_;
  std::string key_ = test::TestTeam().key().publicKeyText();
};

TEST_F(PinnedKeyTest, ResourceKeyIsTrimmedAndMustDecodeToThirtyTwoBytes) {
  struct Case {
    std::optional<std::string> resource;
    const char* expected;
  };
  const std::string shortKey = StrictBase64::encode(std::string(31, 'k'));
  const std::string longKey = StrictBase64::encode(std::string(33, 'k'));
  for (const Case& c : {Case{key_ + "\n", ""}, Case{"  " + key_ + "\t\r\n", ""},
                        Case{shortKey, "The updater verification key is invalid."},
                        Case{longKey, "The updater verification key is invalid."},
                        Case{"not base64!", "The updater verification key is invalid."},
                        Case{std::nullopt, "The updater verification key is missing."}}) {
    std::filesystem::remove_all(*locations_.ownBundle);
    setResource(c.resource);
    EXPECT_EQ(
        failureOf([&] { EXPECT_EQ(InstallationSecurity::updatePublicKey(locations_), key_); }),
        c.expected)
        << c.resource.value_or("(none)");
  }
}

TEST_F(PinnedKeyTest, PlistKeyMustEqualTheTrimmedResourceExactly) {
  setResource(key_ + "\n");
  struct Case {
    std::optional<std::string> pinned;
    const char* expected;
  };
  for (const Case& c :
       {Case{key_, ""},
        Case{" " + key_ + " ", "The application's update verification key has changed."},
        Case{std::nullopt, "The application's update verification key has changed."}}) {
    test::BundleSpec spec;
    spec.pinnedKey = c.pinned;
    test::makeBundle(tree_.path() / "Orlith.app", spec);
    EXPECT_EQ(failureOf([&] {
                InstallationSecurity::validatePinnedKey(tree_.path() / "Orlith.app", locations_);
              }),
              c.expected);
  }
}

TEST(ProfileContractTest, CandidateMustKeepTheSandboxAndTheSavedProfileKeys) {
  const Json installed = test::applicationEntitlements("ABCDE12345");
  const auto with = [&](const char* key, Json value) {
    Json changed = installed;
    if (value.is_null()) {
      changed.erase(key);
    } else {
      changed[key] = std::move(value);
    }
    return changed;
  };
  constexpr const char* kSandbox = "The update would change the application's sandbox.";
  constexpr const char* kProfile = "The update would change the saved-profile trust contract.";
  struct Case {
    const char* name;
    Json target;
    Json candidate;
    const char* expected;
  };
  const Json groups = Json::array({"ABCDE12345.com.tolvik.orlith.mac", "ABCDE12345.shared"});
  const Json reordered = Json::array({"ABCDE12345.shared", "ABCDE12345.com.tolvik.orlith.mac"});
  const std::vector<Case> cases = {
      {"same", installed, installed, ""},
      {"sandbox dropped", installed, with("com.apple.security.app-sandbox", nullptr), kSandbox},
      {"sandbox false", installed, with("com.apple.security.app-sandbox", false), kSandbox},
      {"sandbox 1", installed, with("com.apple.security.app-sandbox", 1), kSandbox},
      {"sandbox missing in both", with("com.apple.security.app-sandbox", nullptr),
       with("com.apple.security.app-sandbox", nullptr), kSandbox},
      {"sandbox added", with("com.apple.security.app-sandbox", nullptr), installed, kProfile},
      {"group added", installed, with("keychain-access-groups", groups), kProfile},
      {"groups reordered", with("keychain-access-groups", groups),
       with("keychain-access-groups", reordered), kProfile},
      {"groups absent in both", with("keychain-access-groups", nullptr),
       with("keychain-access-groups", nullptr), ""},
      {"application identifier changed", installed,
       with("com.apple.application-identifier", "ZZZZZ99999.com.tolvik.orlith.mac"), kProfile},
  };
  for (const Case& c : cases) {
    TemporaryDirectory tree;
    test::TestTeam team;
    team.makeApplication(tree.path() / "installed/Orlith.app", {}, c.target);
    team.makeApplication(tree.path() / "candidate/Orlith.app", {}, c.candidate);
    EXPECT_EQ(failureOf([&] {
                InstallationSecurity::preserveProfileContract(tree.path() / "candidate/Orlith.app",
                                                              tree.path() / "installed/Orlith.app");
              }),
              c.expected)
        << c.name;
  }
}

TEST(BundleArchitectureTest, ElfHeaderDecidesWhichWordsABundleRuns) {
  constexpr const char* kUnsupported = "The update application does not support this architecture.";
  struct Case {
    const char* name;
    std::string program;
    const char* word;
    const char* expected;
  };
  const std::string built = test::readFile("/proc/self/exe");
  const std::vector<Case> cases = {
      {"built program", built, "x64", ""},
      {"x64 program asked for arm64", test::elfHeader(62), "arm64", kUnsupported},
      {"arm64 program", test::elfHeader(183), "arm64", ""},
      {"32-bit ELF", test::elfHeader(62, 1), "x64", kUnsupported},
      {"not ELF", "#!/bin/sh\n", "x64", kUnsupported},
      {"universal is no bundle word", test::elfHeader(62), "universal", kUnsupported},
  };
  for (const Case& c : cases) {
    TemporaryDirectory tree;
    test::BundleSpec spec;
    spec.program = c.program;
    test::makeBundle(tree.path() / "Orlith.app", spec);
    EXPECT_EQ(failureOf([&] {
                InstallationSecurity::validateArchitecture(tree.path() / "Orlith.app", c.word);
              }),
              c.expected)
        << c.name;
  }
}

}  // namespace
}  // namespace orlith
