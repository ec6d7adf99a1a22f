// The update check and the package download over real libcurl and HTTPS on 127.0.0.1: no
// redirect followed, stalls ending at their time-out, caps that stop a body as it arrives.
#include <gio/gio.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <thread>

#include "base/Json.h"
#include "base/Sha256.h"
#include "platform/curl/CurlHttpTransport.h"
#include "platform/glib/GlibMainQueue.h"
#include "platform/glib/GlibTaskRunner.h"
#include "support/LocalHttpsServer.h"
#include "support/SequentialUuidSource.h"
#include "support/TemporaryDirectory.h"
#include "unit/update/TestSigner.h"
#include "update/client/UpdateChecker.h"
#include "update/client/UpdateDownloader.h"
#include "update/trust/UpdateFailure.h"

namespace orlith {
namespace {

using namespace std::chrono_literals;

std::string gzip(const std::string& data) {
  GZlibCompressor* compressor = g_zlib_compressor_new(G_ZLIB_COMPRESSOR_FORMAT_GZIP, 9);
  std::string out(data.size() / 100 + 4096, '\0');
  gsize read = 0;
  gsize written = 0;
  g_converter_convert(G_CONVERTER(compressor), data.data(), data.size(), out.data(), out.size(),
                      G_CONVERTER_INPUT_AT_END, &read, &written, nullptr);
  g_object_unref(compressor);
  out.resize(written);
  return out;
}

class UpdateClientHttpsTest : public ::testing::Test {
 public:
  void SetUp() override {
    server_.routes().Get("/api/desktop/latest",
                         [this](const httplib::Request& request, httplib::Response& response) {
                           headers_ = request.headers;
                           latest_(request, response);
                         });
    server_.routes().Get(
        "/downloads/Orlith-1.3.0.zip",
        [this](const httplib::Request&, httplib::Response& response) { package_(response); });
    server_.start();
  }

  UpdateCheckerContext context() const {
    const std::string origin = server_.origin();
    return {
        OrlithEnvironment(*Url::parse(origin), ServiceHosts{origin, "127.0.0.1", "www.127.0.0.1"}),
        "1.2.3", signer_.publicKeyText(),
        UpdateTrustedHosts::forLocalOrigin("127.0.0.1", server_.port()), "x64"};
  }

  std::string manifest() const {
    const std::string inner = Json{
        {"ok", true},
        {"version", "1.3.0"},
        {"platform", "darwin"},
        {"arch", "x64"},
        {"downloadUrl", server_.origin() + "/downloads/Orlith-1.3.0.zip"},
        {"sha256",
         sha256Hex(body_)}}.dump();
    return Json{{"signedPayload", inner}, {"signature", signer_.signatureText(inner)}}.dump();
  }

  UpdateCheckResult check(std::chrono::milliseconds timeout = 15s) {
    UpdateChecker checker(transport_, context(), timeout);
    return runOnMainContext(checker.check());
  }

  VerifiedUpdateRelease release() const {
    return {"1.3.0", *Url::parse(server_.origin() + "/downloads/Orlith-1.3.0.zip"),
            sha256Hex(body_), manifest()};
  }

  // The file, or the text of what the download threw.
  std::variant<std::filesystem::path, std::string> download(std::uint64_t limit = 262'144'000,
                                                            std::chrono::milliseconds idle = 30s) {
    UpdateDownloader downloader(transport_, folder_, uuids_,
                                UpdateTrustedHosts::forLocalOrigin("127.0.0.1", server_.port()),
                                "1.2.3", limit, idle);
    try {
      return runOnMainContext(downloader.download(release(), [](int) {}));
    } catch (const std::exception& error) {
      return std::string(error.what());
    }
  }

  std::size_t foldersLeft() const {
    std::error_code error;
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_, error))
      ++count;
    return count;
  }

  GlibMainQueue queue_;
  MainQueue::Installation installation_{queue_};
  CurlHttpTransport transport_{
      LocalTlsAuthority{"127.0.0.1", std::string(ORLITH_DEV_DIR) + "/ca.pem"}};
  testing::LocalHttpsServer server_{ORLITH_DEV_DIR};
  test::TestSigner signer_;
  httplib::Headers headers_;
  std::function<void(const httplib::Request&, httplib::Response&)> latest_ =
      [this](const httplib::Request&, httplib::Response& response) {
        response.set_content(manifest(), "application/json");
      };
  std::string body_ = std::string(300'000, 'p');
  std::function<void(httplib::Response&)> package_ = [this](httplib::Response& response) {
    response.set_content(body_, "application/zip");
  };
  TemporaryDirectory tree_;
  std::filesystem::path folder_ = tree_.path() / "OrlithUpdates";
  SequentialUuidSource uuids_;
};

TEST_F(UpdateClientHttpsTest, CheckFindsTheSignedReleaseAndSendsOnlyItsHeaders) {
  const UpdateCheckResult result = check();
  ASSERT_EQ(result.kind, UpdateCheckResult::Kind::available) << result.message;
  EXPECT_EQ(result.release->signedManifest, manifest());
  EXPECT_EQ(headers_.count("Cookie"), 0u);
  EXPECT_EQ(headers_.find("Accept")->second, "application/json");
  EXPECT_EQ(headers_.find("User-Agent")->second, "Orlith-macOS/1.2.3");
}

TEST_F(UpdateClientHttpsTest, CheckRefusesRedirectsStallsAndBodiesOverTheCapEvenCompressed) {
  latest_ = [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/api/desktop/elsewhere");
  };
  EXPECT_EQ(check().message, "The update server returned an error.");

  latest_ = [](const httplib::Request&, httplib::Response& response) {
    std::this_thread::sleep_for(2500ms);
    response.set_content("{}", "application/json");
  };
  EXPECT_EQ(check(1s).message, "The request timed out.");

  // Small on the wire, a megabyte once decoded: stopped as it grows.
  latest_ = [](const httplib::Request&, httplib::Response& response) {
    response.set_header("Content-Encoding", "gzip");
    response.set_content(gzip(std::string(1'048'576, ' ')), "application/json");
  };
  EXPECT_EQ(check().message, "The update response could not be read.");

  latest_ = [](const httplib::Request&, httplib::Response& response) {
    response.set_content(std::string(262'145, ' '), "application/json");
  };
  EXPECT_EQ(check().message, "The update response could not be read.");
}

TEST_F(UpdateClientHttpsTest, DownloadLandsInAPrivateFolderAndTwoDownloadsLandApart) {
  const auto first = download();
  ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(first)) << std::get<std::string>(first);
  const auto& file = std::get<std::filesystem::path>(first);
  EXPECT_EQ(file.filename(), "Orlith-1.3.0.zip");
  EXPECT_EQ(file.parent_path().parent_path(), folder_);
  EXPECT_EQ(sha256HexOfFile(file), sha256Hex(body_));
  struct stat info {};
  ASSERT_EQ(::stat(file.parent_path().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(folder_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  const auto second = download();
  ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(second));
  EXPECT_NE(std::get<std::filesystem::path>(second).parent_path(), file.parent_path());
}

TEST_F(UpdateClientHttpsTest, RefusedDownloadsRemoveOnlyTheirOwnFolder) {
  const auto kept = std::get<std::filesystem::path>(download());

  const struct {
    const char* name;
    std::function<void(httplib::Response&)> reply;
    std::uint64_t limit;
    std::chrono::milliseconds idle;
    const char* error;
  } cases[] = {
      {"checksum",
       [](httplib::Response& response) { response.set_content("other bytes", "application/zip"); },
       262'144'000, 30s, "The downloaded update failed checksum verification."},
      {"announced over a small limit",
       [this](httplib::Response& response) { response.set_content(body_, "application/zip"); },
       1000, 30s, "The update package is too large."},
      {"302", [](httplib::Response& response) { response.set_redirect("/downloads/x.zip"); },
       262'144'000, 30s, "The update server returned an invalid package."},
      {"304", [](httplib::Response& response) { response.status = 304; }, 262'144'000, 30s,
       "The update server returned an invalid package."},
      {"idle stall",
       [](httplib::Response& response) {
         response.set_chunked_content_provider("application/zip",
                                               [](size_t offset, httplib::DataSink& sink) {
                                                 // The head goes out, then nothing for longer than
                                                 // the idle limit.
                                                 static_cast<void>(offset);
                                                 std::this_thread::sleep_for(3s);
                                                 sink.write("abc", 3);
                                                 sink.done();
                                                 return true;
                                               });
       },
       262'144'000, 1s, "The request timed out."},
  };
  for (const auto& c : cases) {
    package_ = c.reply;
    const auto outcome = download(c.limit, c.idle);
    ASSERT_TRUE(std::holds_alternative<std::string>(outcome)) << c.name;
    EXPECT_EQ(std::get<std::string>(outcome), c.error) << c.name;
    EXPECT_EQ(foldersLeft(), 1u) << c.name;
    EXPECT_TRUE(std::filesystem::exists(kept)) << c.name;
  }
}

}  // namespace
}  // namespace orlith
