// The update check over a scripted transport: statuses, sizes, versions, extensions, addresses,
// checksums, keys and signatures, and the shape of the request.
#include "update/client/UpdateChecker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <functional>

#include "base/Json.h"
#include "support/ManualMainQueue.h"
#include "support/RunToCompletion.h"
#include "unit/session/FakeHttpTransport.h"
#include "unit/update/TestSigner.h"

namespace orlith {
namespace {

constexpr const char* kDigest = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";
constexpr const char* kUnreadable = "The update response could not be read.";
constexpr const char* kServerError = "The update server returned an error.";
constexpr const char* kMetadata =
    "The signed update metadata is invalid or targets another platform.";
constexpr const char* kPackage = "The signed update package or checksum is invalid.";
constexpr const char* kSignature = "This update failed signature verification.";

class UpdateCheckerTest : public ::testing::Test {
 public:
  UpdateCheckerContext context(std::string appVersion = "1.2.3") const {
    return {
        OrlithEnvironment(*Url::parse("https://127.0.0.1:47800"),
                          ServiceHosts{"https://127.0.0.1:47800", "127.0.0.1", "www.127.0.0.1"}),
        std::move(appVersion), signer_.publicKeyText(),
        UpdateTrustedHosts::forLocalOrigin("127.0.0.1", 47800), "x64"};
  }

  static Json inner() {
    return Json{{"ok", true},
                {"version", "1.3.0"},
                {"platform", "darwin"},
                {"arch", "x64"},
                {"downloadUrl", "https://127.0.0.1:47800/downloads/Orlith-1.3.0.zip"},
                {"sha256", kDigest}};
  }

  std::string signedBody(const Json& payload) const {
    const std::string text = payload.dump();
    return Json{{"signedPayload", text}, {"signature", signer_.signatureText(text)}}.dump();
  }

  UpdateCheckResult run(const UpdateCheckerContext& checkerContext) {
    UpdateChecker checker(transport_, checkerContext);
    return testing::runToCompletion(queue_, checker.check());
  }

  testing::ManualMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  testing::FakeHttpTransport transport_;
  test::TestSigner signer_;
};

TEST_F(UpdateCheckerTest, RepliesAreJudgedInOrder) {
  using Kind = UpdateCheckResult::Kind;
  struct Case {
    const char* name;
    int status;
    std::function<std::string(const UpdateCheckerTest&)> body;
    std::string appVersion;
    Kind kind;
    std::string message;
  };
  auto with = [](std::function<void(Json&)> change) {
    return [change](const UpdateCheckerTest& test) {
      Json payload = inner();
      change(payload);
      return test.signedBody(payload);
    };
  };
  auto same = with([](Json&) {});
  const Case cases[] = {
      {"status 200", 200, same, "1.2.3", Kind::available, ""},
      {"status 299", 299, same, "1.2.3", Kind::available, ""},
      {"status 199", 199, same, "1.2.3", Kind::failed, kServerError},
      {"status 300", 300, same, "1.2.3", Kind::failed, kServerError},
      {"status 304", 304, same, "1.2.3", Kind::failed, kServerError},
      {"empty body", 200, [](const UpdateCheckerTest&) { return std::string(); }, "1.2.3",
       Kind::failed, kUnreadable},
      {"not an object", 200, [](const UpdateCheckerTest&) { return std::string("[1]"); }, "1.2.3",
       Kind::failed, kUnreadable},
      {"equal version", 200, with([](Json& j) { j["version"] = "1.2.3"; }), "1.2.3", Kind::upToDate,
       ""},
      {"older version", 200, with([](Json& j) { j["version"] = "1.2.2"; }), "1.2.3", Kind::upToDate,
       ""},
      {"running 1.0", 200, same, "1.0", Kind::failed, kMetadata},
      {"other arch", 200, with([](Json& j) { j["arch"] = "arm64"; }), "1.2.3", Kind::failed,
       kMetadata},
      {"universal", 200, with([](Json& j) { j["arch"] = "universal"; }), "1.2.3", Kind::available,
       ""},
      {"upper-case ZIP", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1:47800/d/Orlith-1.3.0.ZIP"; }),
       "1.2.3", Kind::failed, kPackage},
      {"dmg", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1:47800/d/Orlith-1.3.0.DMG"; }),
       "1.2.3", Kind::failed, "Disk image updates can't be installed on Linux."},
      {"pkg", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1:47800/d/Orlith-1.3.0.pkg"; }),
       "1.2.3", Kind::failed, kPackage},
      {"no extension", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1:47800/d/Orlith"; }), "1.2.3",
       Kind::failed, kPackage},
      {"no address", 200, with([](Json& j) { j.erase("downloadUrl"); }), "1.2.3", Kind::failed,
       kPackage},
      {"another port", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1:47801/d/Orlith-1.3.0.zip"; }),
       "1.2.3", Kind::failed, kPackage},
      {"no port", 200,
       with([](Json& j) { j["downloadUrl"] = "https://127.0.0.1/d/Orlith-1.3.0.zip"; }), "1.2.3",
       Kind::available, ""},
      {"upper-case digest", 200, with([](Json& j) { j["sha256"] = std::string(64, 'A'); }), "1.2.3",
       Kind::available, ""},
      {"63 digits", 200, with([](Json& j) { j["sha256"] = std::string(63, 'a'); }), "1.2.3",
       Kind::failed, kPackage},
      {"65 digits", 200, with([](Json& j) { j["sha256"] = std::string(65, 'a'); }), "1.2.3",
       Kind::failed, kPackage},
      {"not hex", 200, with([](Json& j) { j["sha256"] = std::string(63, 'a') + "g"; }), "1.2.3",
       Kind::failed, kPackage},
      {"no digest", 200, with([](Json& j) { j.erase("sha256"); }), "1.2.3", Kind::failed, kPackage},
      {"tampered payload", 200,
       [](const UpdateCheckerTest& test) {
         std::string body = test.signedBody(inner());
         body.replace(body.find("1.3.0"), 5, "1.3.1");
         return body;
       },
       "1.2.3", Kind::failed, kSignature},
  };
  for (const Case& c : cases) {
    const std::string body = c.body(*this);
    transport_.reply(c.status, body);
    const UpdateCheckResult result = run(context(c.appVersion));
    EXPECT_EQ(result.kind, c.kind) << c.name << ": " << result.message;
    EXPECT_EQ(result.message, c.message) << c.name;
    if (result.kind == Kind::available) {
      EXPECT_EQ(result.release->signedManifest, body) << c.name;
      std::string digest =
          Json::parse(Json::parse(body)["signedPayload"].get<std::string>())["sha256"];
      std::transform(digest.begin(), digest.end(), digest.begin(),
                     [](unsigned char ch) { return static_cast<char>(std::tolower(ch)); });
      EXPECT_EQ(result.release->sha256, digest) << c.name;
    }
  }
}

TEST_F(UpdateCheckerTest, ReplySizeLimitAndMissingKey) {
  // Whitespace pads a valid body to an exact size: it is still the manifest, byte for byte.
  const std::string body = signedBody(inner());
  const std::string atLimit =
      body + std::string(UpdateChecker::kMaximumReplySize - body.size(), ' ');
  transport_.reply(200, atLimit);
  UpdateCheckResult result = run(context());
  ASSERT_EQ(result.kind, UpdateCheckResult::Kind::available) << result.message;
  EXPECT_EQ(result.release->signedManifest, atLimit);
  EXPECT_EQ(result.release->version, "1.3.0");
  EXPECT_EQ(result.release->downloadURL.absoluteString(),
            "https://127.0.0.1:47800/downloads/Orlith-1.3.0.zip");

  transport_.reply(200, atLimit + " ");
  EXPECT_EQ(run(context()).message, kUnreadable);

  transport_.fail(TransportError::url(UrlErrorCode::timedOut));
  EXPECT_EQ(run(context()).message, "The request timed out.");

  UpdateCheckerContext keyless = context();
  keyless.publicKey.reset();
  transport_.reply(200, body);
  EXPECT_EQ(run(keyless).message,
            "Update verification isn't configured. Visit 127.0.0.1/download.");
}

TEST_F(UpdateCheckerTest, RequestCarriesTheQueryInOrderAndOnlyTwoHeaders) {
  transport_.reply(404, "");
  UpdateCheckerContext checkerContext = context("1.2.3 beta+1");
  run(checkerContext);
  ASSERT_EQ(transport_.sent.size(), 1u);
  const HttpRequest& request = transport_.sent[0].request;
  EXPECT_EQ(request.url,
            "https://127.0.0.1:47800/api/desktop/"
            "latest?platform=darwin&arch=x64&version=1.2.3%20beta%2B1");
  EXPECT_EQ(request.method, "GET");
  EXPECT_EQ(request.headers, (HttpHeaders{{"Accept", "application/json"},
                                          {"User-Agent", "Orlith-macOS/1.2.3 beta+1"}}));
  EXPECT_EQ(request.maxBodyBytes, UpdateChecker::kMaximumReplySize);
  const HttpSessionSettings& settings = transport_.sent[0].settings;
  EXPECT_EQ(settings.cookies, CookieHandling::none);
  EXPECT_EQ(settings.requestTimeout, std::chrono::seconds(15));
  EXPECT_EQ(settings.resourceTimeout, std::chrono::seconds(15));
  EXPECT_EQ(settings.maxConnectionsPerHost, 2);
}

}  // namespace
}  // namespace orlith
