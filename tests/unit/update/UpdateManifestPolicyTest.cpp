// Version strings, their order, manifest validity, download addresses and manifest decoding.
#include <gtest/gtest.h>

#include "base/Json.h"
#include "update/trust/UpdateManifestPolicy.h"

namespace orlith {
namespace {

using Components = UpdateManifestPolicy::VersionComponents;

TEST(UpdateManifestPolicyTest, VersionComponentsAcceptOnlyThreePlainDecimalNumbers) {
  const struct {
    const char* text;
    std::optional<Components> expected;
  } cases[] = {
      {"1.2.3", Components{1, 2, 3}},
      {"0.0.0", Components{0, 0, 0}},
      {"1.10.0", Components{1, 10, 0}},
      {"9223372036854775807.0.0", Components{INT64_MAX, 0, 0}},
      {"9223372036854775808.0.0", std::nullopt},
      {"1.2", std::nullopt},
      {"1.2.3.4", std::nullopt},
      {"1..3", std::nullopt},
      {"1.2.", std::nullopt},
      {".1.2", std::nullopt},
      {"", std::nullopt},
      {"01.2.3", std::nullopt},
      {"1.00.3", std::nullopt},
      {"v1.2.3", std::nullopt},
      {"1.2.3 ", std::nullopt},
      {" 1.2.3", std::nullopt},
      {"-1.2.3", std::nullopt},
      {"+1.2.3", std::nullopt},
      {"1.-.3", std::nullopt},
      {"1.2.3a", std::nullopt},
      {"1.\xD9\xA3.3", std::nullopt},  // an Arabic-Indic digit three
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateManifestPolicy::versionComponents(c.text), c.expected) << c.text;
  }
}

TEST(UpdateManifestPolicyTest, CompareVersionsOrdersNumericallyAndRefusesNonVersions) {
  const struct {
    const char* lhs;
    const char* rhs;
    std::optional<int> expected;
  } cases[] = {
      {"2.0.0", "2.0.0", 0},   {"1.2.10", "1.2.9", 1},         {"1.9.9", "1.10.0", -1},
      {"2.0.0", "1.99.99", 1}, {"1.2", "1.2.0", std::nullopt}, {"1.2.0", "x", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateManifestPolicy::compareVersions(c.lhs, c.rhs), c.expected)
        << c.lhs << " vs " << c.rhs;
  }
}

DesktopUpdateManifest validManifest() {
  DesktopUpdateManifest manifest;
  manifest.ok = true;
  manifest.platform = "darwin";
  manifest.arch = "x64";
  manifest.version = "1.9.9";
  return manifest;
}

TEST(UpdateManifestPolicyTest, IsValidRefusesEachBrokenCondition) {
  const struct {
    const char* name;
    void (*change)(DesktopUpdateManifest&);
    const char* architecture;
    bool expected;
  } cases[] = {
      {"valid", [](DesktopUpdateManifest&) {}, "x64", true},
      {"universal on x64", [](DesktopUpdateManifest& m) { m.arch = "universal"; }, "x64", true},
      {"universal on arm64", [](DesktopUpdateManifest& m) { m.arch = "universal"; }, "arm64", true},
      {"arm64 on x64", [](DesktopUpdateManifest& m) { m.arch = "arm64"; }, "x64", false},
      {"no arch", [](DesktopUpdateManifest& m) { m.arch.reset(); }, "x64", false},
      {"ok false", [](DesktopUpdateManifest& m) { m.ok = false; }, "x64", false},
      {"no ok", [](DesktopUpdateManifest& m) { m.ok.reset(); }, "x64", false},
      {"Darwin", [](DesktopUpdateManifest& m) { m.platform = "Darwin"; }, "x64", false},
      {"linux", [](DesktopUpdateManifest& m) { m.platform = "linux"; }, "x64", false},
      {"no version", [](DesktopUpdateManifest& m) { m.version.reset(); }, "x64", false},
      {"bad version", [](DesktopUpdateManifest& m) { m.version = "1.9"; }, "x64", false},
      {"empty minimum", [](DesktopUpdateManifest& m) { m.minimumVersion = ""; }, "x64", true},
      {"minimum equal", [](DesktopUpdateManifest& m) { m.minimumVersion = "1.9.9"; }, "x64", true},
      {"minimum above", [](DesktopUpdateManifest& m) { m.minimumVersion = "2.0.0"; }, "x64", false},
      {"minimum a word", [](DesktopUpdateManifest& m) { m.minimumVersion = "latest"; }, "x64",
       false},
  };
  for (const auto& c : cases) {
    DesktopUpdateManifest manifest = validManifest();
    c.change(manifest);
    EXPECT_EQ(UpdateManifestPolicy::isValid(manifest, c.architecture), c.expected) << c.name;
  }
}

TEST(UpdateManifestPolicyTest, TrustedDownloadURLAcceptsOnlyTheServiceHostsOverHttps) {
  const auto hosts = UpdateTrustedHosts::forHost("orlith.example");
  const struct {
    const char* text;
    bool accepted;
  } cases[] = {
      {"https://orlith.example/download/Orlith-1.2.3.zip", true},
      {"https://www.orlith.example/a.zip", true},
      {"HTTPS://ORLITH.EXAMPLE/A.zip", true},
      {"https://orlith.example:443/a.zip", true},
      {"https://orlith.example/a.zip?channel=beta&x=1", true},
      {"https://orlith.example:8443/a.zip", false},
      {"http://orlith.example/a.zip", false},
      {"https://user@orlith.example/a.zip", false},
      {"https://user:pw@orlith.example/a.zip", false},
      {"https://@orlith.example/a.zip", false},
      {"https://orlith.example/a.zip#part", false},
      {"https://orlith.example/a.zip#", false},
      {"https://cdn.orlith.example/a.zip", false},
      {"https://orlith.example.evil.test/a.zip", false},
      {"https://evil.test/orlith.example/a.zip", false},
      {"https://orlith.example./a.zip", false},
      {"https://orlith%2Eexample/a.zip", false},
      {"https://orlith.example/a b.zip", false},
      {"https://orlith.example/a.zip\n", false},
      {" https://orlith.example/a.zip", false},
      {"https://orlith.example/\xC3\xA9.zip", false},
      {"https:///a.zip", false},
      {"orlith.example/a.zip", false},
      {"", false},
  };
  for (const auto& c : cases) {
    const auto url = UpdateManifestPolicy::trustedDownloadURL(c.text, hosts);
    EXPECT_EQ(url.has_value(), c.accepted) << c.text;
    if (url) {
      EXPECT_EQ(url->absoluteString(), c.text);
    }
  }
}

TEST(UpdateManifestPolicyTest, TrustedDownloadURLAcceptsALocalOriginsOwnPortOnItsHostOnly) {
  const auto local = UpdateTrustedHosts::forLocalOrigin("127.0.0.1", 47800);
  const auto production = UpdateTrustedHosts::forHost("orlith.example");
  const struct {
    const char* text;
    const UpdateTrustedHosts& hosts;
    bool accepted;
  } cases[] = {
      {"https://127.0.0.1:47800/downloads/Orlith-1.0.1.zip", local, true},
      {"https://127.0.0.1/downloads/Orlith-1.0.1.zip", local, true},
      {"https://127.0.0.1:443/a.zip", local, true},
      {"https://127.0.0.1:47801/a.zip", local, false},
      {"https://127.0.0.1:80/a.zip", local, false},
      {"https://www.127.0.0.1:47800/a.zip", local, false},
      {"http://127.0.0.1:47800/a.zip", local, false},
      {"https://orlith.example:47800/a.zip", production, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateManifestPolicy::trustedDownloadURL(c.text, c.hosts).has_value(), c.accepted)
        << c.text;
  }
  EXPECT_EQ(production.localOriginPort, std::nullopt);
}

TEST(UpdateManifestPolicyTest, PathExtensionReadsTheLastDecodedPathComponentAsWritten) {
  const struct {
    const char* url;
    std::optional<std::string> expected;
  } cases[] = {
      {"https://h/d/Orlith-1.2.3.zip", "zip"},
      {"https://h/d/Orlith-1.2.3.ZIP", "ZIP"},
      {"https://h/d/a.tar.gz", "gz"},
      {"https://h/d/a.zip?x=1.dmg", "zip"},
      {"https://h/d/a%2Edmg", "dmg"},
      {"https://h/d/a.zip/", std::nullopt},
      {"https://h/d/.zip", std::nullopt},
      {"https://h/d/Orlith", std::nullopt},
      {"https://h", std::nullopt},
      {"not a url", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateManifestPolicy::pathExtension(c.url), c.expected) << c.url;
  }
}

TEST(UpdateManifestPolicyTest, TrustedDownloadURLRefusesTheSameAddressForAnotherBuildHost) {
  EXPECT_FALSE(UpdateManifestPolicy::trustedDownloadURL(
      "https://orlith.example/a.zip", UpdateTrustedHosts::forHost("other.example")));
}

TEST(DesktopUpdateManifestTest, DecodeReadsPresentFieldsAndTreatsNullAsAbsent) {
  const auto manifest = DesktopUpdateManifest::decode(
      R"({"ok":true,"version":"1.2.3","minimumVersion":null,"notes":"n","sha256":"ab",)"
      R"("platform":"darwin","arch":"x64","downloadUrl":"https://h/a.zip","extra":[1,2],)"
      R"("signedPayload":"{}","signature":"c2ln"})");
  EXPECT_EQ(manifest.ok, true);
  EXPECT_EQ(manifest.version, "1.2.3");
  EXPECT_FALSE(manifest.minimumVersion);
  EXPECT_EQ(manifest.notes, "n");
  EXPECT_EQ(manifest.downloadUrl, "https://h/a.zip");
  EXPECT_EQ(manifest.signature, "c2ln");
  EXPECT_EQ(DesktopUpdateManifest::decode("{}"), DesktopUpdateManifest{});
}

TEST(DesktopUpdateManifestTest, DecodeFailsWholeForAWrongTypeOrNoObject) {
  for (const char* text :
       {R"({"ok":1})", R"({"ok":"true"})", R"({"version":1})", R"({"notes":["x"]})",
        R"({"signature":false})", "[]", "\"x\"", "", "{", R"({"version":"1.2.3"} x)"}) {
    EXPECT_THROW(DesktopUpdateManifest::decode(text), JsonDecodeError) << text;
  }
}

}  // namespace
}  // namespace orlith
