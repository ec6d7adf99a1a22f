// The signed manifest envelope, SHA-256 text, package digests and the strict base64 they use.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "base/Json.h"
#include "unit/update/TestSigner.h"
#include "update/trust/StrictBase64.h"
#include "update/trust/UpdateFailure.h"
#include "update/trust/UpdateSignatureVerifier.h"

namespace orlith {
namespace {

constexpr const char* kNotConfigured =
    "Update verification isn't configured. Visit orlith.example/download.";
constexpr const char* kBadSignature = "This update failed signature verification.";
constexpr const char* kPayload =
    R"({"ok":true,"version":"1.2.3","platform":"darwin","arch":"x64","sha256":"ab"})";

struct Envelope {
  std::optional<std::string> key;
  std::optional<std::string> payload;
  std::optional<std::string> signature;
};

enum class Outcome { verified, notConfigured, badSignature, decodeError };

class UpdateSignatureVerifierTest : public ::testing::Test {
 protected:
  Outcome run(const Envelope& envelope) const {
    DesktopUpdateManifest outer;
    outer.signedPayload = envelope.payload;
    outer.signature = envelope.signature;
    try {
      const auto inner = UpdateSignatureVerifier::verify(
          outer, envelope.key, UpdateTrustedHosts::forHost("orlith.example"));
      EXPECT_EQ(inner, DesktopUpdateManifest::decode(*envelope.payload));
      return Outcome::verified;
    } catch (const UpdateFailure& failure) {
      EXPECT_FALSE(failure.requiresManualInstallation());
      if (failure.message() == kNotConfigured) {
        return Outcome::notConfigured;
      }
      EXPECT_EQ(failure.message(), kBadSignature);
      return Outcome::badSignature;
    } catch (const JsonDecodeError&) {
      return Outcome::decodeError;
    }
  }

  test::TestSigner signer_;
  test::TestSigner otherSigner_;
};

TEST_F(UpdateSignatureVerifierTest, VerifyAcceptsOnlyTheExactBytesSignedWithTheConfiguredKey) {
  const std::string key = signer_.publicKeyText();
  const std::string good = signer_.signatureText(kPayload);
  const std::string reindented =
      R"({ "ok": true, "version":"1.2.3","platform":"darwin","arch":"x64","sha256":"ab"})";
  const std::string raw = signer_.rawPublicKey();
  const struct {
    const char* name;
    Envelope envelope;
    Outcome expected;
  } cases[] = {
      {"good", {key, kPayload, good}, Outcome::verified},
      {"re-indented payload", {key, reindented, good}, Outcome::badSignature},
      {"other key", {otherSigner_.publicKeyText(), kPayload, good}, Outcome::badSignature},
      {"signed by another key",
       {key, kPayload, otherSigner_.signatureText(kPayload)},
       Outcome::badSignature},
      {"empty payload", {key, "", signer_.signatureText("")}, Outcome::badSignature},
      {"no payload", {key, std::nullopt, good}, Outcome::badSignature},
      {"no signature", {key, kPayload, std::nullopt}, Outcome::badSignature},
      {"signature with newline", {key, kPayload, good + "\n"}, Outcome::badSignature},
      {"signature not base64", {key, kPayload, "!!!!"}, Outcome::badSignature},
      {"short signature",
       {key, kPayload, StrictBase64::encode(std::string(63, 'x'))},
       Outcome::badSignature},
      {"no key", {std::nullopt, kPayload, good}, Outcome::notConfigured},
      {"empty key", {"", kPayload, good}, Outcome::notConfigured},
      {"31-byte key",
       {StrictBase64::encode(raw.substr(0, 31)), kPayload, good},
       Outcome::notConfigured},
      {"33-byte key", {StrictBase64::encode(raw + "x"), kPayload, good}, Outcome::notConfigured},
      {"key with newline", {key + "\n", kPayload, good}, Outcome::notConfigured},
      {"signed non-manifest", {key, "[1,2]", signer_.signatureText("[1,2]")}, Outcome::decodeError},
      {"signed wrong type",
       {key, R"({"ok":"yes"})", signer_.signatureText(R"({"ok":"yes"})")},
       Outcome::decodeError},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(run(c.envelope), c.expected) << c.name;
  }
}

TEST(UpdateSignatureVerifierSha256Test, ValidSHA256TakesSixtyFourHexDigitsOfEitherCase) {
  const struct {
    std::string text;
    bool valid;
  } cases[] = {
      {std::string(64, 'A'), true},        {std::string(32, 'a') + std::string(32, 'F'), true},
      {std::string(64, '0'), true},        {std::string(63, 'a'), false},
      {std::string(65, 'a'), false},       {std::string(63, 'a') + "g", false},
      {std::string(63, 'a') + " ", false}, {"", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(UpdateSignatureVerifier::validSHA256(c.text), c.valid) << c.text;
  }
}

class UpdateFileHashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orlith-hash-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path write(const std::string& name, const std::string& bytes) {
    const auto path = dir_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }

  std::filesystem::path dir_;
};

TEST_F(UpdateFileHashTest, HashOfGivesLowerCaseDigestsOfKnownFiles) {
  const struct {
    std::string bytes;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      // Exactly one read block, then an empty read.
      {std::string(1'048'576, 'a'),
       "9bc1b2a288b26af7257a36277ae3816a7d4f16e89c1e7e77d0a5c48bad62b360"},
  };
  for (const auto& c : cases) {
    const auto file = write("f", c.bytes);
    EXPECT_EQ(UpdateSignatureVerifier::hashOf(file), c.digest) << c.bytes.size();
  }
}

TEST_F(UpdateFileHashTest, HashOfAMissingOrUnreadableFileThrowsTheSystemErrorWithoutItsPath) {
  const auto folder = dir_ / "folder";
  std::filesystem::create_directory(folder);
  for (const auto& path : {dir_ / "missing", folder}) {
    try {
      UpdateSignatureVerifier::hashOf(path);
      ADD_FAILURE() << path;
    } catch (const std::system_error& error) {
      EXPECT_EQ(std::string(error.what()).find(dir_.string()), std::string::npos) << error.what();
    }
  }
}

TEST(StrictBase64Test, DecodeTakesOnlyCanonicalPaddedText) {
  const struct {
    const char* text;
    std::optional<std::string> bytes;
  } cases[] = {
      {"", std::string()},
      {"Zg==", std::string("f")},
      {"Zm8=", std::string("fo")},
      {"Zm9v", std::string("foo")},
      {"+/+/", std::string("\xFB\xFF\xBF")},
      {"Zg", std::nullopt},
      {"Zg=", std::nullopt},
      {"Zh==", std::nullopt},  // spare bits set
      {"Zm9=", std::nullopt},
      {"Z===", std::nullopt},
      {"====", std::nullopt},
      {"Zg==Zg==", std::nullopt},
      {"Zm 9v", std::nullopt},
      {"Zm9v\n", std::nullopt},
      {"Zm9-", std::nullopt},
      {"Zm9_", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrictBase64::decode(c.text), c.bytes) << c.text;
    if (c.bytes) {
      EXPECT_EQ(StrictBase64::encode(*c.bytes), c.text);
    }
  }
}

}  // namespace
}  // namespace orlith
